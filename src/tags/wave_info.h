#pragma once
// A chunk appended to a finished WAV file (its LIST/INFO chunk, where its
// tags are kept).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tonvale {

// Appends Chunk to the WAV file at Path, after its last chunk, and states
// the file's new size in its RIFF (or RF64) header. Returns the system's
// error number, 0 on success; EFBIG when a RIFF file would pass 4 GiB.
int AppendWaveChunk(const std::string& Path, const std::vector<uint8_t>& Chunk);

}  // namespace tonvale
