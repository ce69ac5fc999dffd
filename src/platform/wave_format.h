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
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
// The extensible format's 22 extra bytes: valid bits (16), speaker mask (32),
// then a sub-format GUID whose first two bytes are the format tag and whose
// other fourteen are these.
constexpr uint8_t kSubformatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint16_t WAVE_FORMAT_GSM610 = 0x31;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 85;
constexpr uint16_t WAVE_FORMAT_WMAUDIO1 = 0x160;
constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 0x161;

}  // namespace tonvale
