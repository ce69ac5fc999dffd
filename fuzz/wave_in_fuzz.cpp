// Feeds arbitrary bytes, as a WAV file, through the header scan and the
// block decoders of the WAV reader.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/wave/wave_in.h"
#include "fuzz/drain_input.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  tonvale::TMemoryStream stream(std::vector<uint8_t>(Data, Data + Size));
  tonvale::TWaveIn in(nullptr);
  in.AttachStream(&stream);
  try {
    in.SampleCount();
  } catch (const std::exception&) {
  }
  tonvale::fuzz::DrainInput(in, 1000, 7000);
  return 0;
}
