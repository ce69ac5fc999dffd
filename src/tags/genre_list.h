#pragma once
// The genre list the dialogs present: an empty entry, then 148 names in
// alphabetical order, and the map from a list position to an ID3v1 number.

#include <array>
#include <cstdint>
#include <string>

namespace tonvale {

extern const std::array<const char*, 149> GenreList;
// The ID3v1 number of each list position; 255 (no genre) at position 0.
extern const std::array<uint8_t, 149> GenreMap;

// 255 for positions 149 and above (so a missing selection, -1 as its low
// byte, gives 255), otherwise GenreMap[Index].
uint8_t GenreIndexToId3(uint8_t Index);

// The name a list position stands for as ID3v1 publishes it (the Genres
// entry: "Drum & Bass" for the list's "Drum & Base"); empty for position 0
// and for positions outside the list.
std::string StandardGenreName(int Index);
// The list position of a genre by its list spelling or its published one
// (the Genres entry, or "AlternRock"), ignoring case; -1 when none.
int GenrePosition(const std::string& Name);
// A genre as ID3v2 frames refer to the ID3v1 list ("(17)", "(17)Rock",
// "17") by its name; other texts as they are.
std::u16string GenreByReference(const std::u16string& Text);

}  // namespace tonvale
