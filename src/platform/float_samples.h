#pragma once
// Float PCM brought within full scale before an encoder takes it.

#include <cstddef>
#include <cstdint>

namespace tonvale {

// Clips Samples float samples of Bits (32 or 64) bits at Data, in place:
// values beyond full scale (+-1.0) become full scale, NaN and infinity
// become 0. True when any sample was changed. Data needs no alignment.
bool ClipFloatSamples(uint8_t* Data, size_t Samples, int Bits);

}  // namespace tonvale
