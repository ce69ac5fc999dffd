#include "conversion/tag_preparation.h"

#include <filesystem>
#include <string_view>
#include <utility>

#include "audio/winmedia/wm_in.h"
#include "conversion/conversion_modes.h"
#include "conversion/source_tags.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

namespace tonvale {

const char* const kMissingOutputFolder = "the output folder does not exist.Please check the output directory setting.";

void TagValuesFromSource(TId3v2Tags& Source, bool KeepTitleWhenEmpty, TTagValues& Values) {
  for (const TTagField& f : TagFields()) {
    std::string* text = TagText(Values, f);
    if (!text) continue;
    const std::string value = Utf16ToUtf8(Source.AsWideString(Source.FieldKey(f)));
    if (!value.empty() || !KeepTitleWhenEmpty || std::string_view(f.Name) != "title") *text = value;
  }
  std::erase_if(Values.TagCarried, [](const auto& V) { return V.second.empty(); });
  const std::string genre = Utf16ToUtf8(Source.Genre());
  Values.TagGenreIndex = GenreNameToIndex(genre);
  Values.TagGenreName = Values.TagGenreIndex < 0 ? genre : "";
  Values.TagPicture = Source.Picture();
  Values.TagPictureLeftOut = Source.PictureLeftOut();
}

void AddSourceTags(TId3v2Tags& Source, TTagValues& Values) {
  TTagValues own;
  TagValuesFromSource(Source, false, own);
  for (const TTagField& f : TagFields()) {
    const std::string* text = TagText(std::as_const(own), f);
    if (text && !text->empty()) *TagText(Values, f) = *text;
  }
  if (!own.TagPicture.empty()) Values.TagPicture = own.TagPicture;
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
