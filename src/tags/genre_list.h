#pragma once
// The genre list the dialogs present: an empty entry, then 148 names in
// alphabetical order, and the map from a list position to an ID3v1 number.

#include <array>
#include <cstdint>

namespace tonvale {

extern const std::array<const char*, 149> GenreList;
// The ID3v1 number of each list position; 255 (no genre) at position 0.
extern const std::array<uint8_t, 149> GenreMap;

// 255 for positions 149 and above (so a missing selection, -1 as its low
// byte, gives 255), otherwise GenreMap[Index].
uint8_t GenreIndexToId3(uint8_t Index);

}  // namespace tonvale
