// Feeds arbitrary bytes to the Windows Media input through the media runtime.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/winmedia/wm_in.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  tonvale::TMemoryStream stream(std::vector<uint8_t>(Data, Data + Size));
  tonvale::TWMIn in(nullptr);
  in.AttachStream(&stream);
  try {
    in.Id3v2Tags().Title();
    in.BeginRead();
    for (int i = 0; i < 200; ++i) {
      uint8_t* buffer = nullptr;
      uint32_t bytes = 8192;
      in.GetData(buffer, bytes);
      if (bytes == 0) break;
      volatile uint8_t last = buffer[bytes - 1];
      (void)last;
    }
    in.EndRead();
  } catch (const std::exception&) {
  }
  return 0;
}
