#pragma once
// FFmpeg custom I/O over an IStream.

#include <memory>
#include <vector>

#include "platform/wmf/wmf_types.h"

struct AVIOContext;

namespace tonvale::wmf {

// An AVIOContext reading (or writing) through Stream, starting where Stream
// stands, which FFmpeg sees as position 0. The seek callback answers size
// queries and returns -1 when the stream cannot seek.
class TAvioStream {
 public:
  TAvioStream(std::shared_ptr<IStream> Stream, bool Writable);
  // For reading: FFmpeg sees Leading first, then the stream from Resume
  // bytes past where it stands (the source with its first bytes replaced).
  TAvioStream(std::shared_ptr<IStream> Stream, std::vector<uint8_t> Leading, int64_t Resume);
  ~TAvioStream();
  TAvioStream(const TAvioStream&) = delete;
  TAvioStream& operator=(const TAvioStream&) = delete;

  AVIOContext* Context() const { return FContext; }
  bool Ok() const { return FContext != nullptr; }
  // A read of the stream failed (as opposed to reaching its end).
  bool ReadFailed() const { return FReadFailed; }

 private:
  static int ReadPacket(void* Opaque, uint8_t* Buffer, int Size);
  static int WritePacket(void* Opaque, uint8_t* Buffer, int Size);
  static int64_t SeekTo(void* Opaque, int64_t Offset, int Whence);

  std::shared_ptr<IStream> FStream;
  AVIOContext* FContext = nullptr;
  int64_t FBase = 0;      // the stream's position that is FFmpeg's 0
  int64_t FPosition = 0;  // FFmpeg's position
  std::vector<uint8_t> FLeading;
  int64_t FResume = 0;
  bool FReadFailed = false;
};

}  // namespace tonvale::wmf
