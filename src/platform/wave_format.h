#pragma once

#include <cstdint>

namespace tonvale {

// The wave format record of the platform's audio interfaces (little-endian,
// packed, 18 bytes before any extra bytes).
#pragma pack(push, 1)
struct TWaveFormatEx {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 85;
constexpr uint16_t WAVE_FORMAT_WMAUDIO1 = 0x160;
constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 0x161;

}  // namespace tonvale
