#pragma once
// The tags an MP3 output gets from its file's tag values, and what its ID3v1
// tag could not hold.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/tag_values.h"

namespace tonvale {

class Tid3tag;

// The ID3v2.4 tag that goes before the first audio frame: every value whole
// (the title the output's name when none is given, the genre by its name, a
// track number below 1 left out).
std::vector<uint8_t> Id3v2TagFor(const TTagValues& Values, const std::string& Output);
// The ID3v1 tag's values: each cut to its field, a track outside 0 to 255
// written as none (0).
void FillId3v1(Tid3tag& Tag, const TTagValues& Values, const std::string& Output);
// What the ID3v1 tag loses of the values ("ID3v1 title cut to 30
// characters; the ID3v2 tag keeps it whole"), or empty when nothing.
std::string Id3v1Report(const TTagValues& Values, const std::string& Output, bool Id3v2Written);

}  // namespace tonvale
