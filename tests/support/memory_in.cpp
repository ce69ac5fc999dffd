#include "support/memory_in.h"

#include <algorithm>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_stream.h"

namespace tonvale::test {

void MemoryIn::OpenSource() {
  std::lock_guard lock(OpenLock);
  if (OpenCount != 0) return;
  if (!DataStream) {
    DataStream = new TAuFileStream(FFileName, fmOpenRead | fmShareDenyWrite);
    ExternalStream = false;
  }
  ++Opens;
  FBitsPerSample = Bits;
  FSampleRate = Rate;
  FChannels = Chans;
  DataSize = AnnouncedSize == -2 ? DataStream->Size() : AnnouncedSize;
  DataStream->SetPosition(0);
  OpenCount = 1;
}

void MemoryIn::CloseSource() {
  std::lock_guard lock(OpenLock);
  if (OpenCount == 0) return;
  if (ExternalStream)
    DataStream->SetPosition(0);
  else
    ReleaseStream();
  OpenCount = 0;
}

bool MemoryIn::SeekTo(int64_t& Sample) {
  DataStream->SetPosition(Sample * FrameSize);
  BufferFirst = 1;
  BufferLast = 0;
  return true;
}

void MemoryIn::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
  if (!Reading) throw EAuException("The Stream is not opened");
  ++ReadDataCalls;
  if (BufferFirst > BufferLast) {
    if (FailAfter >= 0 && DataStream->Position() + ChunkLimit > FailAfter)
      throw EAuException("Read error", "Input/output error");
    if (BeforeRefill) BeforeRefill(FRefills);
    ++FRefills;
    FBuffer.resize(ChunkLimit);
    BufferFirst = 1;
    BufferLast = static_cast<uint32_t>(DataStream->Read(FBuffer.data(), ChunkLimit));
  }
  Bytes -= Bytes % FrameSize;
  Bytes = std::min(Bytes, BufferLast - BufferFirst + 1);
  Buffer = FBuffer.data() + BufferFirst - 1;
  BufferFirst += Bytes;
}

std::vector<uint8_t> CountingPcm(size_t Frames, unsigned Channels) {
  std::vector<uint8_t> out(Frames * Channels * 2);
  for (size_t i = 0; i < Frames * Channels; ++i) {
    out[2 * i] = static_cast<uint8_t>(i & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>((i >> 8) & 0xFF);
  }
  return out;
}

}  // namespace tonvale::test
