// Feeds arbitrary bytes, as a WAV file, through the header scan and the
// block decoders of the WAV reader.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/wave/wave_in.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  tonvale::TMemoryStream stream(std::vector<uint8_t>(Data, Data + Size));
  tonvale::TWaveIn in(nullptr);
  in.AttachStream(&stream);
  try {
    in.SampleCount();
    in.BeginRead();
    for (int i = 0; i < 1000; ++i) {
      uint8_t* buffer = nullptr;
      uint32_t bytes = 7000;
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
