#include "audio/wave/g711.h"

#include <cstddef>

namespace tonvale {
namespace {

// The expansions of ITU-T G.711: a code's segment (3 bits) scales its step
// (4 bits); A-law codes have their even bits inverted, µ-law codes all bits.
int16_t ExpandALaw(uint8_t Code) {
  const int a = Code ^ 0x55;
  int t = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  if (segment == 0)
    t += 8;
  else
    t = (t + 0x108) << (segment - 1);
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

int16_t ExpandMuLaw(uint8_t Code) {
  const int u = ~Code & 0xFF;
  const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
  return static_cast<int16_t>((u & 0x80) ? 0x84 - t : t - 0x84);
}

template <int16_t (*Expand)(uint8_t)>
std::array<int16_t, 256> Table() {
  std::array<int16_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = Expand(static_cast<uint8_t>(i));
  return t;
}

}  // namespace

const std::array<int16_t, 256>& ALawTable() {
  static const auto table = Table<ExpandALaw>();
  return table;
}

const std::array<int16_t, 256>& MuLawTable() {
  static const auto table = Table<ExpandMuLaw>();
  return table;
}

}  // namespace tonvale
