#pragma once
// The tags of a WAV file through TagLib: its first id3 chunk, then its
// LIST/INFO chunk, whose texts are UTF-8 or else Windows-1252.

#include <taglib/tiostream.h>

#include <string>
#include <utility>
#include <vector>

namespace tonvale {

struct TFileTags;

void ReadWaveTags(TagLib::IOStream& Stream, TFileTags& Tags);

// The INFO items of Tags (the field table's INFO ids, several values joined
// by "; "), for the LIST/INFO chunk of a WAV output.
std::vector<std::pair<std::string, std::string>> WaveInfoItems(const TFileTags& Tags);

}  // namespace tonvale
