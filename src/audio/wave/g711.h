#pragma once
// G.711 A-law and µ-law: each 8-bit code and the 16-bit sample it stands for.

#include <array>
#include <cstdint>

namespace tonvale {

const std::array<int16_t, 256>& ALawTable();
const std::array<int16_t, 256>& MuLawTable();

}  // namespace tonvale
