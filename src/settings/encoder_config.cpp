#include "settings/encoder_config.h"

#include <filesystem>

#include "audio/lame/mp3_out.h"
#include "audio/winmedia/wma_out.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"

namespace tonvale {
namespace {

constexpr TMP3BitRate kConstantBitRates[] = {br48, br56, br64, br80, br96, br128, br192, br256, br320};

}  // namespace

void ConfigureMP3Out(TMP3Out& Out) {
  Out.SetDelay(16 - 5 * Settings.CPU);
  if (Settings.ConstantBitRate >= 0 && Settings.ConstantBitRate <= 8)
    Out.SetBitRate(kConstantBitRates[Settings.ConstantBitRate]);
  Out.SetEnableVBR(Settings.IsSelectVBR);
  Out.SetWriteVBRHeader(Settings.IsVBRHead);
  // Channel modes outside 0 to 3 keep the output's mode.
  if (Settings.StereoMode >= 0 && Settings.StereoMode <= 3) Out.SetMode(static_cast<TMP3Mode>(Settings.StereoMode));
  Out.SetVBRMinBitrate(Settings.BitRate);
  Out.SetVBRMaxBitrate(Settings.MaxBitRate);
  if (Settings.VBRQuality >= 0 && Settings.VBRQuality <= 9) Out.SetVBRQuality(static_cast<TMP3Quality>(Settings.VBRQuality));
}

void ConfigureWMAOut(TWMAOut& Out) {
  Out.SetVBR(Settings.VBR);
  Out.CodecIndex = Settings.CodecIndex;
  Out.FormatIndex = Settings.FormatIndex;
  TId3v2Tags& tags = Out.Id3v2Tags();
  if (tags.Title().empty()) tags.SetTitle(Utf8ToUtf16(std::filesystem::path(Out.FileName()).stem().string()));
  if (!Settings.IsShowTagEditor) return;
  auto copy = [](const std::string& Value, auto Setter) {
    if (!Value.empty()) Setter(Utf8ToUtf16(Value));
  };
  copy(TagValues.TagTitle, [&](const std::u16string& V) { tags.SetTitle(V); });
  copy(TagValues.TagArtist, [&](const std::u16string& V) { tags.SetArtist(V); });
  copy(TagValues.TagAlbum, [&](const std::u16string& V) { tags.SetAlbum(V); });
  copy(TagValues.TagYear, [&](const std::u16string& V) { tags.SetYear(V); });
  if (TagValues.TagGenreIndex > 0 && TagValues.TagGenreIndex < static_cast<int>(GenreList.size()))
    tags.SetGenre(Utf8ToUtf16(GenreList[TagValues.TagGenreIndex]));
  copy(TagValues.TagTrack, [&](const std::u16string& V) { tags.SetTrack(V); });
  copy(TagValues.TagComment, [&](const std::u16string& V) { tags.SetComment(V); });
}

}  // namespace tonvale
