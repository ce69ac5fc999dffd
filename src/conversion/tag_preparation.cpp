#include "conversion/tag_preparation.h"

#include <filesystem>

#include "audio/winmedia/wm_in.h"
#include "conversion/conversion_modes.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

namespace tonvale {

const char* const kMissingOutputFolder =
    "the output folder does not exist.Please check the output directory setting.";

void TagValuesFromSource(TId3v2Tags& Source, bool KeepTitleWhenEmpty) {
  const std::string title = Utf16ToUtf8(Source.Title());
  if (!title.empty() || !KeepTitleWhenEmpty) TagValues.TagTitle = title;
  TagValues.TagArtist = Utf16ToUtf8(Source.Artist());
  TagValues.TagAlbum = Utf16ToUtf8(Source.Album());
  TagValues.TagYear = Utf16ToUtf8(Source.Year());
  TagValues.TagGenreIndex = GenreNameToIndex(Utf16ToUtf8(Source.Genre()));
  TagValues.TagTrack = Utf16ToUtf8(Source.Track());
  TagValues.TagComment = Utf16ToUtf8(Source.Comment());
}

void PrepareTagValues(int Mode, const std::vector<std::string>& Files) {
  ResetTagValues();
  if (Files.size() != 1) return;
  const std::string& path = Files.front();
  TagValues.TagTitle = BaseName(path);
  if (Mode != cmWmaToMp3 && Mode != cmMp3ToWma) return;
  TWMIn reader(nullptr);
  reader.SetFileName(path);
  TagValuesFromSource(reader.Id3v2Tags(), true);
  reader.SetFileName("");
}

bool TagEditorWanted(int Mode, size_t FileCount) {
  if (Mode == cmMp3ToWav || Mode == cmWmaToWav) return false;
  return (Settings.IsShowTagEditor && FileCount == 1) || (Settings.IsSameTag && FileCount > 1);
}

bool CheckOutputFolder() {
  if (Settings.SameAsInputFolder) return true;
  std::error_code ec;
  if (std::filesystem::is_directory(Settings.OutputFolder, ec)) return true;
  // The default folder is made when first needed; a folder the user chose is not.
  if (Settings.OutputFolder == DefaultSettings().OutputFolder)
    return std::filesystem::create_directories(Settings.OutputFolder, ec) && !ec;
  return false;
}

}  // namespace tonvale
