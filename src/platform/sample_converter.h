#pragma once
// Interleaved PCM of any width, integer or float, and any speaker layout,
// converted to interleaved signed 16-bit with one or two channels at the same
// rate through libswresample: the standard down-mix matrix, float clipped
// (never wrapped), triangular dither when the width shrinks.

#include <cstddef>
#include <cstdint>
#include <vector>

struct SwrContext;

namespace tonvale {

// Packed 24-bit samples as 32-bit ones (the low byte zero), in Wide;
// returns Wide's bytes.
const uint8_t* WidenS24(const uint8_t* In, size_t Samples, std::vector<int32_t>& Wide);

class TSampleConverter {
 public:
  TSampleConverter() = default;
  ~TSampleConverter();
  TSampleConverter(const TSampleConverter&) = delete;
  TSampleConverter& operator=(const TSampleConverter&) = delete;

  // Bits 8, 16, 24 or 32 (integer) or 32 and 64 (Float); Mask a
  // WAVE_FORMAT_EXTENSIBLE speaker mask or 0 for the usual layout of the
  // count. A mono source fills both output channels at its own level. False
  // when the library refuses the formats.
  bool Open(int Bits, bool Float, int Channels, uint32_t Mask, int Rate, int OutChannels);
  // Converts Frames frames; Out receives the output frames' samples.
  // Returns the frames written.
  int Convert(const uint8_t* In, int Frames, std::vector<int16_t>& Out);

 private:
  SwrContext* FSwr = nullptr;
  int FBits = 0, FChannels = 0, FOutChannels = 0;
  std::vector<int32_t> FWide;  // 24-bit samples widened to 32 bits
};

}  // namespace tonvale
