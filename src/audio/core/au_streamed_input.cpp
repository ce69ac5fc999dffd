#include "audio/core/au_streamed_input.h"

#include <algorithm>

namespace tonvale {

TAuStreamedInput::~TAuStreamedInput() { ReleaseStream(); }

void TAuStreamedInput::ReleaseStream() {
  if (!ExternalStream) delete DataStream;
  DataStream = nullptr;
  ExternalStream = false;
}

void TAuStreamedInput::AttachStream(TStream* Stream) {
  if (!ExternalStream) delete DataStream;
  DataStream = Stream;
  ExternalStream = Stream != nullptr;
}

void TAuStreamedInput::GetData(uint8_t*& Buffer, uint32_t& Bytes) {
  std::lock_guard lock(DataLock);
  const uint32_t requested = Bytes;
  if (Exhausted) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  auto readStep = [&] {
    ReadData(Buffer, Bytes);
    if (Bytes == 0) {
      Exhausted = true;
      return;
    }
    int64_t size = DataSize;
    int64_t pos = DataPosition;
    if (size > 0 && pos + Bytes > size) {
      // Cut at the announced size, keeping whole frames: a size that ends
      // inside a frame drops that partial frame.
      Bytes = static_cast<uint32_t>(std::max<int64_t>(size - pos, 0));
      if (FrameSize > 0) Bytes -= Bytes % FrameSize;
      Exhausted = true;
      if (Bytes == 0) return;
    }
    DataPosition = pos + Bytes;
    if (size > 0 && pos + Bytes >= size) Exhausted = true;
  };
  readStep();
  if (!(Exhausted && FLoop)) return;

  Exhausted = false;
  if (CanSeek) {
    int64_t start = FStartSample;
    SeekTo(start);
  } else {
    EndRead();
    BeginRead();
  }
  DataPosition = 0;
  if (Bytes != 0) return;
  Bytes = requested;
  readStep();
}

}  // namespace tonvale
