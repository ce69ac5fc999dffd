#include "platform/float_samples.h"

#include <cmath>
#include <cstring>

namespace tonvale {
namespace {

template <typename T>
bool Clip(uint8_t* Data, size_t Samples) {
  bool changed = false;
  for (size_t i = 0; i < Samples; ++i) {
    T v;
    std::memcpy(&v, Data + i * sizeof(T), sizeof(T));
    if (v >= T(-1) && v <= T(1)) continue;  // also false for NaN
    v = std::isnan(v) || std::isinf(v) ? T(0) : v > 0 ? T(1) : T(-1);
    std::memcpy(Data + i * sizeof(T), &v, sizeof(T));
    changed = true;
  }
  return changed;
}

}  // namespace

bool ClipFloatSamples(uint8_t* Data, size_t Samples, int Bits) {
  if (Bits == 64) return Clip<double>(Data, Samples);
  if (Bits == 32) return Clip<float>(Data, Samples);
  return false;
}

}  // namespace tonvale
