// Feeds arbitrary bytes to the Windows Media input through the media runtime.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/winmedia/wm_in.h"
#include "fuzz/drain_input.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  tonvale::TMemoryStream stream(std::vector<uint8_t>(Data, Data + Size));
  tonvale::TWMIn in(nullptr);
  in.AttachStream(&stream);
  try {
    in.Id3v2Tags().Title();
  } catch (const std::exception&) {
  }
  tonvale::fuzz::DrainInput(in, 200, 8192);
  return 0;
}
