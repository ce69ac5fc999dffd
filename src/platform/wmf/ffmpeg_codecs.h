#pragma once
// The WMA codecs and constant-bit-rate formats the FFmpeg runtime offers.

#include <cstdint>
#include <string>

namespace tonvale::wmf {

struct TCodecEntry {
  const char16_t* Name;
  const char* Encoder;  // FFmpeg's encoder
  uint16_t FormatTag;
};

constexpr TCodecEntry kCodecs[] = {{u"Windows Media Audio 2", "wmav2", 0x161},
                                   {u"Windows Media Audio 1", "wmav1", 0x160}};
constexpr uint32_t kCodecCount = 2;

constexpr uint32_t kBitRates[] = {320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32, 24};
constexpr uint32_t kRates[] = {48000, 44100, 32000, 22050, 16000, 11025, 8000};
constexpr uint32_t kFormatCount = 2 * 12 * 7;

struct TFormatEntry {
  uint16_t Channels;
  uint32_t Kbps;
  uint32_t Rate;
};

// Stereo before mono, then bit rate from high to low, then rate from high to low.
inline TFormatEntry FormatAt(uint32_t Index) {
  return {static_cast<uint16_t>(Index < 84 ? 2 : 1), kBitRates[(Index % 84) / 7], kRates[Index % 7]};
}

// "128 kbps, 44 kHz, stereo CBR".
std::u16string FormatDescription(const TFormatEntry& Format);

}  // namespace tonvale::wmf
