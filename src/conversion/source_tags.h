#pragma once
// The tags of a WAV source: its LIST/INFO chunk and its "id3 " chunk, as
// other tools write them.

#include <string>

namespace tonvale {

class TId3v2Tags;

// Tags := the tags of the WAV file at Path (every field empty when it has
// none or cannot be read).
void WaveSourceTags(const std::string& Path, TId3v2Tags& Tags);

}  // namespace tonvale
