#include "conversion/output_tags.h"

#include <algorithm>

#include "conversion/conversion_modes.h"
#include "platform/text.h"
#include "tags/au_tags.h"
#include "tags/genre_list.h"
#include "tags/id3tag.h"
#include "tags/id3v2_tags.h"

namespace tonvale {
namespace {

std::string Title(const TTagValues& Values, const std::string& Output) {
  return Values.TagTitle.empty() ? TitleFromName(Output) : Values.TagTitle;
}

bool KnownGenre(int Index) { return Index > 0 && Index < static_cast<int>(GenreList.size()); }

// The track as a number, when it is one.
bool TrackNumber(const std::string& Track, int32_t& Number) { return ParseInteger(Track, Number); }

std::string Join(const std::vector<std::string>& Parts, const std::string& Last) {
  std::string text;
  for (size_t i = 0; i < Parts.size(); ++i) text += (i == 0 ? "" : i + 1 == Parts.size() ? Last : ", ") + Parts[i];
  return text;
}

}  // namespace

std::vector<uint8_t> Id3v2TagFor(const TTagValues& Values, const std::string& Output) {
  TId3v2Tags tags;
  tags.SetTitle(Utf8ToUtf16(Title(Values, Output)));
  tags.SetArtist(Utf8ToUtf16(Values.TagArtist));
  tags.SetAlbum(Utf8ToUtf16(Values.TagAlbum));
  tags.SetYear(Utf8ToUtf16(Values.TagYear));
  int32_t track = 0;
  if (!TrackNumber(Values.TagTrack, track) || track > 0) tags.SetTrack(Utf8ToUtf16(Values.TagTrack));
  tags.SetGenre(Utf8ToUtf16(KnownGenre(Values.TagGenreIndex) ? GenreList[Values.TagGenreIndex] : Values.TagGenreName));
  tags.SetComment(Utf8ToUtf16(Values.TagComment));
  return tags.Version4Tag();
}

void FillId3v1(Tid3tag& Tag, const TTagValues& Values, const std::string& Output) {
  Tag.SetTitle(Title(Values, Output));
  Tag.SetArtist(Values.TagArtist);
  Tag.SetAlbum(Values.TagAlbum);
  Tag.SetYear(Values.TagYear);
  Tag.Genre = GenreIndexToId3(static_cast<uint8_t>(Values.TagGenreIndex & 0xFF));
  Tag.SetComment(Values.TagComment);
  int32_t track = 0;
  // One byte holds 0 to 255; a number outside is no track rather than its low byte.
  if (!TrackNumber(Values.TagTrack, track) || track < 0 || track > 255) track = 0;
  Tag.SetTrack(static_cast<uint8_t>(track));
}

std::string Id3v1Report(const TTagValues& Values, const std::string& Output, bool Id3v2Written) {
  const struct {
    const char* Name;
    std::string Value;
    size_t Limit;
  } fields[] = {{"title", Title(Values, Output), 30},
                {"artist", Values.TagArtist, 30},
                {"album", Values.TagAlbum, 30},
                {"year", Values.TagYear, 4},
                {"comment", Values.TagComment, 30}};
  std::vector<std::string> cut30, cut4, letters, losses;
  for (const auto& f : fields) {
    if (Utf8Length(f.Value) > f.Limit) (f.Limit == 4 ? cut4 : cut30).push_back(f.Name);
    const std::u16string kept = Utf8ToUtf16(Utf8Left(f.Value, f.Limit));
    if (std::any_of(kept.begin(), kept.end(), [](char16_t C) { return C > 0xFF; })) letters.push_back(f.Name);
  }
  if (!cut30.empty()) losses.push_back(Join(cut30, " and ") + " cut to 30 characters");
  if (!cut4.empty()) losses.push_back("year cut to 4 characters");
  if (!letters.empty()) losses.push_back("letters outside Latin-1 replaced in the " + Join(letters, " and "));
  int32_t track = 0;
  if (TrackNumber(Values.TagTrack, track) && (track < 0 || track > 255))
    losses.push_back("track " + Values.TagTrack + " outside 0 to 255 left out");
  if (!KnownGenre(Values.TagGenreIndex) && !Values.TagGenreName.empty())
    losses.push_back("genre \"" + Values.TagGenreName + "\" not in its list");
  if (losses.empty()) return "";
  std::string report = "ID3v1 " + Join(losses, ", ");
  if (Id3v2Written)
    report += losses.size() == 1 ? "; the ID3v2 tag keeps it whole" : "; the ID3v2 tag keeps them whole";
  return report;
}

}  // namespace tonvale
