#include "settings/encoder_config.h"

#include <filesystem>
#include <iterator>

#include "audio/lame/mp3_out.h"
#include "audio/winmedia/wma_out.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"

namespace tonvale {
namespace {

// The encoder's rate of a kbit/s value of the constant bit-rate list.
bool RateOf(int Kbps, TMP3BitRate& Rate) {
  for (int r = br8; r <= br320; ++r)
    if (BitRateKbps(static_cast<TMP3BitRate>(r)) == Kbps) {
      Rate = static_cast<TMP3BitRate>(r);
      return true;
    }
  return false;
}

}  // namespace

void ConfigureMP3Out(TMP3Out& Out, const TSettings& From) {
  Out.SetDelay(16 - 5 * From.CPU);
  TMP3BitRate rate = br128;
  if (From.ConstantBitRate >= 0 && From.ConstantBitRate < static_cast<int>(std::size(kConstantBitRatesKbps)) &&
      RateOf(kConstantBitRatesKbps[From.ConstantBitRate], rate))
    Out.SetBitRate(rate);
  Out.SetEnableVBR(From.IsSelectVBR);
  Out.SetWriteVBRHeader(From.IsVBRHead);
  // Channel modes outside 0 to 3 keep the output's mode.
  if (From.StereoMode >= 0 && From.StereoMode <= 3) Out.SetMode(static_cast<TMP3Mode>(From.StereoMode));
  Out.SetVBRMinBitrate(From.BitRate);
  Out.SetVBRMaxBitrate(From.MaxBitRate);
  if (From.VBRQuality >= 0 && From.VBRQuality <= 9) Out.SetVBRQuality(static_cast<TMP3Quality>(From.VBRQuality));
}

void ConfigureWMAOut(TWMAOut& Out, const TSettings& From, const TTagValues& Tags, bool CopyTags) {
  Out.SetVBR(From.VBR);
  Out.CodecIndex = From.CodecIndex;
  Out.FormatIndex = From.FormatIndex;
  // A stored choice the codec does not offer (VBR where it has no VBR
  // formats, a format index of -1 or beyond its list) is the default format.
  if (From.CodecIndex >= 0 && From.CodecIndex < static_cast<int>(Out.Codecs().size())) {
    const auto codec = static_cast<uint16_t>(From.CodecIndex);
    if (From.VBR && Out.Formats(codec).empty()) Out.SetVBR(false);
    if (From.FormatIndex < 0 || From.FormatIndex >= static_cast<int>(Out.Formats(codec).size())) {
      const TSettings d = DefaultSettings();
      Out.FormatIndex = From.CodecIndex == d.CodecIndex && Out.VBR() == d.VBR ? d.FormatIndex : 0;
    }
  }
  TId3v2Tags& tags = Out.Id3v2Tags();
  if (tags.Title().empty()) {
    // A name that is not UTF-8 is read as Latin-1.
    const std::string stem = std::filesystem::path(Out.FileName()).stem().string();
    tags.SetTitle(IsUtf8(stem) ? Utf8ToUtf16(stem) : Latin1ToUtf16(stem));
  }
  if (!CopyTags) return;
  CopyTagValues(Tags, tags);
}

}  // namespace tonvale
