#pragma once
// The tags an MP3 output gets from its file's tag values.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/tag_values.h"

namespace tonvale {

// The ID3v2.4 tag that goes before the first audio frame: every value whole
// (the title the output's name when none is given, the genre by its name).
std::vector<uint8_t> Id3v2TagFor(const TTagValues& Values, const std::string& Output);

}  // namespace tonvale
