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

void ConfigureMP3Out(TMP3Out& Out, const TSettings& From) {
  Out.SetDelay(16 - 5 * From.CPU);
  if (From.ConstantBitRate >= 0 && From.ConstantBitRate <= 8) Out.SetBitRate(kConstantBitRates[From.ConstantBitRate]);
  Out.SetEnableVBR(From.IsSelectVBR);
  Out.SetWriteVBRHeader(From.IsVBRHead);
  // Channel modes outside 0 to 3 keep the output's mode.
  if (From.StereoMode >= 0 && From.StereoMode <= 3) Out.SetMode(static_cast<TMP3Mode>(From.StereoMode));
  Out.SetVBRMinBitrate(From.BitRate);
  Out.SetVBRMaxBitrate(From.MaxBitRate);
  if (From.VBRQuality >= 0 && From.VBRQuality <= 9) Out.SetVBRQuality(static_cast<TMP3Quality>(From.VBRQuality));
}

void ConfigureWMAOut(TWMAOut& Out) { ConfigureWMAOut(Out, Settings, TagValues, Settings.IsShowTagEditor); }

void ConfigureWMAOut(TWMAOut& Out, const TSettings& From, const TTagValues& Tags, bool CopyTags) {
  Out.SetVBR(From.VBR);
  Out.CodecIndex = From.CodecIndex;
  Out.FormatIndex = From.FormatIndex;
  TId3v2Tags& tags = Out.Id3v2Tags();
  if (tags.Title().empty()) {
    // A name that is not UTF-8 is read as Latin-1.
    const std::string stem = std::filesystem::path(Out.FileName()).stem().string();
    tags.SetTitle(IsUtf8(stem) ? Utf8ToUtf16(stem) : Latin1ToUtf16(stem));
  }
  if (!CopyTags) return;
  auto copy = [](const std::string& Value, auto Setter) {
    if (!Value.empty()) Setter(Utf8ToUtf16(Value));
  };
  copy(Tags.TagTitle, [&](const std::u16string& V) { tags.SetTitle(V); });
  copy(Tags.TagArtist, [&](const std::u16string& V) { tags.SetArtist(V); });
  copy(Tags.TagAlbum, [&](const std::u16string& V) { tags.SetAlbum(V); });
  copy(Tags.TagYear, [&](const std::u16string& V) { tags.SetYear(V); });
  if (Tags.TagGenreIndex > 0 && Tags.TagGenreIndex < static_cast<int>(GenreList.size()))
    tags.SetGenre(Utf8ToUtf16(StandardGenreName(Tags.TagGenreIndex)));
  else
    copy(Tags.TagGenreName, [&](const std::u16string& V) { tags.SetGenre(V); });
  copy(Tags.TagTrack, [&](const std::u16string& V) { tags.SetTrack(V); });
  copy(Tags.TagComment, [&](const std::u16string& V) { tags.SetComment(V); });
  copy(Tags.TagAlbumArtist, [&](const std::u16string& V) { tags.SetAlbumArtist(V); });
  copy(Tags.TagDisc, [&](const std::u16string& V) { tags.SetDisc(V); });
  copy(Tags.TagComposer, [&](const std::u16string& V) { tags.SetComposer(V); });
  copy(Tags.TagCopyright, [&](const std::u16string& V) { tags.SetCopyright(V); });
  if (!Tags.TagPicture.empty()) tags.SetPicture(Tags.TagPicture);
  if (Tags.TagPictureLeftOut) tags.SetPictureLeftOut(true);
}

}  // namespace tonvale
