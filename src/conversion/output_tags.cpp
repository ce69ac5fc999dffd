#include "conversion/output_tags.h"

#include <algorithm>

#include "conversion/conversion_modes.h"
#include "conversion/written_tags.h"
#include "platform/text.h"
#include "tags/au_tags.h"
#include "tags/file_tags.h"
#include "tags/genre_list.h"
#include "tags/id3tag.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_text.h"
#include "tags/wave_info.h"
#include "tags/wave_tags.h"

namespace tonvale {
namespace {

std::string Title(const TTagValues& Values, const std::string& Output) {
  return Values.TagTitle.empty() ? TitleFromName(Output) : Values.TagTitle;
}

bool KnownGenre(int Index) { return Index > 0 && Index < static_cast<int>(GenreList.size()); }

// Whether the ID3v2 tag writes the track: any text but a number below 1.
bool Id3v2Track(const std::string& Track) {
  int32_t number = 0;
  return !Track.empty() && (!ParseInteger(Track, number) || number > 0);
}

// The list position of a genre: its own, else that of the first of its
// several values the list has (ID3v1 holds one genre); -1 when none.
int ListedGenre(const TTagValues& Values) {
  if (KnownGenre(Values.TagGenreIndex)) return Values.TagGenreIndex;
  const std::string& names = Values.TagGenreName;
  for (size_t from = 0; from < names.size();) {
    const size_t to = std::min(names.find('\0', from), names.size());
    const int position = GenrePosition(names.substr(from, to - from));
    if (KnownGenre(position)) return position;
    from = to + 1;
  }
  return -1;
}

// What is said of a track ID3v1 cannot hold (a number below 1 is written in
// no tag).
std::string TrackLeftOut(const std::string& Track) {
  const bool decimal = Track.find_first_not_of("0123456789", Track[0] == '-' ? 1 : 0) == std::string::npos;
  if (decimal && Track.find_first_not_of("-0") == std::string::npos) return "track " + Track + " left out";
  return decimal ? "track " + Track + " outside 0 to 255 left out"
                 : "track \"" + JoinedValues(Track) + "\" not a number from 1 to 255 left out";
}

const char* const kPictureTooLarge = "the picture, larger than 16 MiB, left out";

std::string Join(const std::vector<std::string>& Parts, const std::string& Last) {
  std::string text;
  for (size_t i = 0; i < Parts.size(); ++i) text += (i == 0 ? "" : i + 1 == Parts.size() ? Last : ", ") + Parts[i];
  return text;
}

std::string PictureLeftOut(uint8_t Why) {
  return Why == kPictureWasLinked ? "the picture, a link to one, left out" : kPictureTooLarge;
}

// Values as the tags of a file hold them: each field's several values, the
// title the output's name when none is given, the genre by its name, a
// track number below 1 left out.
TFileTags TagsOfValues(const TTagValues& Values, const std::string& Output) {
  TId3v2Tags set;
  CopyTagValues(Values, set);
  set.SetTitle(Utf8ToUtf16(Title(Values, Output)));
  if (!Id3v2Track(Values.TagTrack)) set.SetTrack(u"");
  return SetToFileTags(set);
}

// The fields an ID3v1 tag holds with the characters it holds of each (the
// year only as it stands where the ID3v2 tag does not keep it whole).
struct TLimited {
  const char* Name;
  std::string Value;
  size_t Limit;
};
std::vector<TLimited> Id3v1Fields(const TTagValues& Values, const std::string& Output, bool YearAsItStands) {
  std::vector<TLimited> fields;
  for (const TTagField& f : TagFields()) {
    const std::string_view name = f.Name;
    if (f.Id3v1 == 0) continue;
    fields.push_back({f.Name,
                      name == "title"  ? Title(Values, Output)
                      : name == "year" ? (YearAsItStands ? Values.TagYear : "")
                                       : *TagText(Values, f),
                      f.Id3v1});
  }
  return fields;
}

// The values an ID3v1 tag has no place for.
std::vector<std::string> NoId3v1Place(const TTagValues& Values) {
  std::vector<std::string> none;
  for (const TTagField& f : TagFields())
    if (f.Id3v1 == 0 && !CarriedTag(Values, f.Name).empty()) none.emplace_back(f.Name);
  if (!Values.TagPicture.empty()) none.emplace_back("picture");
  return none;
}

}  // namespace

std::vector<uint8_t> Id3v2TagFor(const TTagValues& Values, const std::string& Output) {
  TFileTags tags = TagsOfValues(Values, Output);
  // The year frame holds timestamps only.
  std::erase_if(tags.Fields, [](const auto& F) { return F.first == "year"; });
  tags.Add("year", {Utf8ToUtf16(Id3Timestamp(Values.TagYear))});
  return RenderId3v2(tags);
}

void FillId3v1(Tid3tag& Tag, const TTagValues& Values, const std::string& Output) {
  Tag.SetTitle(JoinedValues(Title(Values, Output)));
  Tag.SetArtist(JoinedValues(Values.TagArtist));
  Tag.SetAlbum(JoinedValues(Values.TagAlbum));
  Tag.SetYear(Values.TagYear);
  Tag.Genre = GenreIndexToId3(static_cast<uint8_t>(ListedGenre(Values) & 0xFF));
  Tag.SetComment(JoinedValues(Values.TagComment));
  // One byte holds 1 to 255 ("3/12" is track 3); anything else is no track.
  Tag.SetTrack(static_cast<uint8_t>(Id3v1TrackNumber(Values.TagTrack)));
}

std::vector<uint8_t> WaveInfoFor(const TTagValues& Values, const std::string& Output) {
  return WaveInfoChunk(TagsOfValues(Values, Output));
}

TTagReport WaveInfoReport(const TTagValues& Values) {
  std::vector<std::string> left, lost;
  if (!Values.TagTrack.empty() && !Id3v2Track(Values.TagTrack)) lost.emplace_back("track");
  for (const TTagField& f : TagFields())
    if (!*f.Info && !CarriedTag(Values, f.Name).empty()) left.emplace_back(f.Name);
  if (!Values.TagPicture.empty() || Values.TagPictureLeftOut) left.emplace_back("picture");
  std::string text = lost.empty() ? "" : "track " + Values.TagTrack + " below 1 left out";
  if (!left.empty())
    text += std::string(text.empty() ? "" : "; ") + "WAV INFO has no " + Join(left, " and ") + "; left out";
  lost.insert(lost.end(), left.begin(), left.end());
  return {text, !lost.empty(), lost};
}

TTagReport WmaTagReport(const TId3v2Tags& Tags) {
  std::vector<std::string> cut;
  for (const TTagField& f : TagFields()) {
    const std::string name = f.Name;
    const std::u16string value = Tags.AsWideString(Tags.FieldKey(f));
    // Each of several values is its own attribute.
    size_t longest = 0;
    for (size_t from = 0; from <= value.size();) {
      const size_t to = std::min(value.find(u'\0', from), value.size());
      longest = std::max(longest, to - from);
      from = to + 1;
    }
    if (longest > kLongestAsfValue) cut.push_back(name);
  }
  std::vector<std::string> losses;
  if (!cut.empty())
    losses.push_back("WMA " + Join(cut, " and ") + " cut to " + std::to_string(kLongestAsfValue) + " characters");
  if (TrackNumberPart(Tags.Track()) != Tags.Track() && !TrackNumberPart(Tags.Track()).empty()) {
    losses.push_back("WMA track total of " + Utf16ToUtf8(Tags.Track()) + " left out");
    cut.emplace_back("track");
  }
  if (Tags.PictureLeftOut()) losses.push_back(PictureLeftOut(Tags.PictureLeftOut()));
  return {Join(losses, "; "), !losses.empty(), cut};
}

TTagReport Mp3TagReport(const TTagValues& Values, const std::string& Output, bool Id3v2Written) {
  const bool track = Id3v1TrackNumber(Values.TagTrack) > 0;
  // A year that is no timestamp keeps only its four digits in the ID3v2 tag;
  // ID3v1 reads back a number of up to four digits as it was.
  const std::string& year = Values.TagYear;
  const std::string timestamp = Id3Timestamp(year);
  const bool yearV2 = Id3v2Written && timestamp == year;
  const bool yearV1 =
      !year.empty() && year.size() <= 4 && year[0] != '0' && year.find_first_not_of("0123456789") == std::string::npos;
  const std::vector<TLimited> fields = Id3v1Fields(Values, Output, yearV2 || !Id3v2Written);
  // The fields the ID3v1 tag changes (several values joined by "; " are all
  // there still), those no tag keeps whole.
  std::vector<std::string> cut30, cut28, cut4, letters, joined, losses, lostEverywhere, changed, lost;
  for (const auto& f : fields) {
    const std::string value = JoinedValues(f.Value);
    const size_t before = cut30.size() + cut28.size() + cut4.size() + letters.size();
    if (value != f.Value) joined.push_back(f.Name);
    if (Utf8Length(value) > f.Limit) (f.Limit == 4 ? cut4 : f.Limit == 28 ? cut28 : cut30).push_back(f.Name);
    const std::u16string kept = Utf8ToUtf16(Utf8Left(value, f.Limit));
    if (std::any_of(kept.begin(), kept.end(), [](char16_t C) { return C > 0xFF; })) letters.push_back(f.Name);
    if (cut30.size() + cut28.size() + cut4.size() + letters.size() != before) changed.emplace_back(f.Name);
  }
  if (!cut30.empty()) losses.push_back(Join(cut30, " and ") + " cut to 30 characters");
  if (!cut28.empty()) losses.push_back("comment cut to 28 characters (the track's place takes the rest)");
  if (!cut4.empty()) losses.push_back("year cut to 4 characters");
  if (!letters.empty()) losses.push_back("letters outside Latin-1 replaced in the " + Join(letters, " and "));
  if (!joined.empty()) losses.push_back("several values joined in the " + Join(joined, " and "));
  const std::string& t = Values.TagTrack;
  if (!t.empty() && !track) {
    const bool kept = Id3v2Written && Id3v2Track(t);
    (kept ? losses : lostEverywhere).push_back(TrackLeftOut(t));
    (kept ? changed : lost).emplace_back("track");
  }
  const int genre = ListedGenre(Values);
  if (!KnownGenre(Values.TagGenreIndex) && !Values.TagGenreName.empty()) {
    const std::string name = "genre \"" + JoinedValues(Values.TagGenreName) + "\"";
    losses.push_back(genre < 0 ? name + " not in its list" : name + " written as " + StandardGenreName(genre));
    changed.emplace_back("genre");
  }
  std::string yearNote;
  if (!yearV2 && !year.empty() && Id3v2Written) {
    const std::string said = "year \"" + JoinedValues(year) + "\" written as " +
                             (timestamp.empty() ? std::string("none") : timestamp) + " in the ID3v2 tag";
    if (yearV1) {
      yearNote = said + "; the ID3v1 tag keeps it whole";
    } else {
      lostEverywhere.push_back(said);
      lost.emplace_back("year");
    }
  }
  if (!Id3v2Written) {
    // Only the ID3v1 tag: what it changes or has no place for is lost.
    const std::vector<std::string> none = NoId3v1Place(Values);
    if (!none.empty()) lostEverywhere.push_back("ID3v1 holds no " + Join(none, " and "));
    lost.insert(lost.end(), none.begin(), none.end());
    lost.insert(lost.end(), changed.begin(), changed.end());
  }
  TTagReport report;
  report.LostEverywhere = !lost.empty() || Values.TagPictureLeftOut;
  if (!losses.empty()) {
    report.Text = "ID3v1 " + Join(losses, ", ");
    if (Id3v2Written)
      report.Text += losses.size() == 1 ? "; the ID3v2 tag keeps it whole" : "; the ID3v2 tag keeps them whole";
  }
  if (!yearNote.empty()) report.Text += (report.Text.empty() ? "" : "; ") + yearNote;
  if (Values.TagPictureLeftOut) lostEverywhere.push_back(PictureLeftOut(Values.TagPictureLeftOut));
  if (!lostEverywhere.empty())
    report.Text += (report.Text.empty() ? "" : "; ") + Join(lostEverywhere, ", ") + " (no tag keeps it whole)";
  report.Lost = lost;
  return report;
}

TFileTags PredictedTags(const TTagValues& Values, const std::string& Output, bool Id3v2Written) {
  std::vector<uint8_t> bytes;
  if (ExtensionOf(Output) == "wav") {
    // A header, no audio, and the INFO chunk.
    const uint8_t format[] = {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0};
    const auto info = WaveInfoFor(Values, Output);
    for (const char* part : {"RIFF", "\0\0\0\0", "WAVE", "fmt ", "\x10\0\0\0"})
      bytes.insert(bytes.end(), part, part + 4);
    bytes.insert(bytes.end(), std::begin(format), std::end(format));
    for (const char* part : {"data", "\0\0\0\0"}) bytes.insert(bytes.end(), part, part + 4);
    bytes.insert(bytes.end(), info.begin(), info.end());
    const auto riff = static_cast<uint32_t>(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(riff >> (8 * i));
    return ReadTagBytes(bytes, "wav");
  }
  if (Id3v2Written) bytes = Id3v2TagFor(Values, Output);
  Tid3tag v1;
  FillId3v1(v1, Values, Output);
  const auto block = v1.Block();
  bytes.insert(bytes.end(), block.begin(), block.end());
  return ReadTagBytes(bytes, "mp3");
}

TTagReport PredictedReport(const TTagValues& Values, const std::string& Output, bool Id3v2Written) {
  if (ExtensionOf(Output) == "wma") {
    // What a WMA header holds is known by its rules: no file to render into.
    TId3v2Tags tags;
    CopyTagValues(Values, tags);
    return WmaTagReport(tags);
  }
  TTagReport report =
      ExtensionOf(Output) == "wav" ? WaveInfoReport(Values) : Mp3TagReport(Values, Output, Id3v2Written);
  CheckWrittenTags(report, ValuesNotKept(Values, Output, PredictedTags(Values, Output, Id3v2Written)),
                   Values.TagPictureLeftOut);
  return report;
}

void CheckWrittenTags(TTagReport& Report, const std::vector<std::string>& NotKept, bool PictureLeftOut) {
  std::vector<std::string> unnamed;
  for (const auto& field : NotKept)
    if (std::find(Report.Lost.begin(), Report.Lost.end(), field) == Report.Lost.end()) unnamed.push_back(field);
  if (!unnamed.empty())
    Report.Text += (Report.Text.empty() ? "" : "; ") + Join(unnamed, " and ") + " not found whole in the written tags";
  Report.LostEverywhere = !NotKept.empty() || PictureLeftOut;
}

}  // namespace tonvale
