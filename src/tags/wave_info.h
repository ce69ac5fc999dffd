#pragma once
// The LIST/INFO chunk of a WAV file, where WAV tags are kept.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tonvale {

// A "LIST" chunk of type "INFO" holding Items (a four-letter id such as
// "INAM", and a UTF-8 text; several values, separated by zero characters,
// joined by "; "), empty texts left out; empty when every one is.
std::vector<uint8_t> WaveInfoChunk(const std::vector<std::pair<std::string, std::string>>& Items);

// Appends Chunk to the WAV file at Path, after its last chunk, and states
// the file's new size in its RIFF (or RF64) header. Returns the system's
// error number, 0 on success; EFBIG when a RIFF file would pass 4 GiB.
int AppendWaveChunk(const std::string& Path, const std::vector<uint8_t>& Chunk);

}  // namespace tonvale
