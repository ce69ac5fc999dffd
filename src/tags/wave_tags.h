#pragma once
// The tags of a WAV file through TagLib: its first id3 chunk, then its
// LIST/INFO chunk, whose texts are UTF-8 or else Windows-1252.

#include <taglib/tiostream.h>

#include <cstdint>
#include <vector>

namespace tonvale {

struct TFileTags;

void ReadWaveTags(TagLib::IOStream& Stream, TFileTags& Tags);

// The LIST/INFO chunk of a WAV output of Tags: the fields the table gives an
// INFO id, several values joined by "; ", in UTF-8; empty when none has one.
std::vector<uint8_t> WaveInfoChunk(const TFileTags& Tags);

}  // namespace tonvale
