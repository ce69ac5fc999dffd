#include "conversion/tag_preparation.h"

#include <filesystem>

#include "audio/winmedia/wm_in.h"
#include "conversion/conversion_modes.h"
#include "conversion/source_tags.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

namespace tonvale {

const char* const kMissingOutputFolder = "the output folder does not exist.Please check the output directory setting.";

void TagValuesFromSource(TId3v2Tags& Source, bool KeepTitleWhenEmpty, TTagValues& Values) {
  const std::string title = Utf16ToUtf8(Source.Title());
  if (!title.empty() || !KeepTitleWhenEmpty) Values.TagTitle = title;
  Values.TagArtist = Utf16ToUtf8(Source.Artist());
  Values.TagAlbum = Utf16ToUtf8(Source.Album());
  Values.TagYear = Utf16ToUtf8(Source.Year());
  const std::string genre = Utf16ToUtf8(Source.Genre());
  Values.TagGenreIndex = GenreNameToIndex(genre);
  Values.TagGenreName = Values.TagGenreIndex < 0 ? genre : "";
  Values.TagTrack = Utf16ToUtf8(Source.Track());
  Values.TagComment = Utf16ToUtf8(Source.Comment());
  Values.TagAlbumArtist = Utf16ToUtf8(Source.AlbumArtist());
  Values.TagDisc = Utf16ToUtf8(Source.Disc());
  Values.TagComposer = Utf16ToUtf8(Source.Composer());
  Values.TagCopyright = Utf16ToUtf8(Source.Copyright());
  Values.TagPicture = Source.Picture();
  Values.TagPictureLeftOut = Source.PictureLeftOut();
}

void AddSourceTags(TId3v2Tags& Source, TTagValues& Values) {
  TTagValues own;
  TagValuesFromSource(Source, false, own);
  for (auto field : {&TTagValues::TagTitle, &TTagValues::TagArtist, &TTagValues::TagAlbum, &TTagValues::TagYear,
                     &TTagValues::TagTrack, &TTagValues::TagComment, &TTagValues::TagAlbumArtist, &TTagValues::TagDisc,
                     &TTagValues::TagComposer, &TTagValues::TagCopyright, &TTagValues::TagPicture})
    if (!(own.*field).empty()) Values.*field = own.*field;
  if (own.TagPictureLeftOut) Values.TagPictureLeftOut = own.TagPictureLeftOut;
  if (own.TagGenreIndex > 0 || !own.TagGenreName.empty()) {
    Values.TagGenreIndex = own.TagGenreIndex;
    Values.TagGenreName = own.TagGenreName;
  }
}

TTagValues PreparedTagValues(int Mode, const std::vector<std::string>& Files) {
  TTagValues values;
  if (Files.size() != 1) return values;
  const std::string& path = Files.front();
  values.TagTitle = TitleFromName(path);
  if (Mode == cmWavToMp3 || Mode == cmWavToWma) {
    TId3v2Tags tags;
    WaveSourceTags(path, tags);
    AddSourceTags(tags, values);
  }
  if (Mode == cmWavToMp3 || Mode == cmWavToWma) return values;
  TWMIn reader(nullptr);
  reader.SetFileName(path);
  TagValuesFromSource(reader.Id3v2Tags(), true, values);
  reader.SetFileName("");
  return values;
}

bool TagEditorWanted(int Mode, size_t FileCount, const TSettings& From) {
  if (Mode == cmMp3ToWav || Mode == cmWmaToWav) return false;
  return (From.IsShowTagEditor && FileCount == 1) || (From.IsSameTag && FileCount > 1);
}

bool CheckOutputFolder() { return CheckOutputFolder(Settings); }

bool CheckOutputFolder(const TSettings& From) {
  if (From.SameAsInputFolder) return true;
  std::error_code ec;
  if (std::filesystem::is_directory(From.OutputFolder, ec)) return true;
  // The default folder is made when first needed; a folder the user chose is not.
  if (From.OutputFolder == DefaultSettings().OutputFolder)
    return std::filesystem::create_directories(From.OutputFolder, ec) && !ec;
  return false;
}

}  // namespace tonvale
