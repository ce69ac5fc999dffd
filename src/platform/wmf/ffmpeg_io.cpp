#include "platform/wmf/ffmpeg_io.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace tonvale::wmf {

namespace {
constexpr int kBufferSize = 32768;
}

TAvioStream::TAvioStream(std::shared_ptr<IStream> Stream, bool Writable) : FStream(std::move(Stream)) {
  uint64_t pos = 0;
  if (FStream->Seek(0, STREAM_SEEK_CUR, &pos) == S_OK) FBase = static_cast<int64_t>(pos);
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (!buffer) return;
  FContext = avio_alloc_context(buffer, kBufferSize, Writable ? 1 : 0, this, Writable ? nullptr : &ReadPacket,
                                Writable ? &WritePacket : nullptr, &SeekTo);
  if (!FContext) av_free(buffer);
}

TAvioStream::TAvioStream(std::shared_ptr<IStream> Stream, std::vector<uint8_t> Leading, int64_t Resume)
    : TAvioStream(std::move(Stream), false) {
  FLeading = std::move(Leading);
  FResume = Resume;
  if (FLeading.empty()) FStream->Seek(FBase + FResume, STREAM_SEEK_SET, nullptr);
}

TAvioStream::~TAvioStream() {
  if (!FContext) return;
  // FFmpeg may have replaced the buffer: free the one it holds now.
  av_freep(&FContext->buffer);
  avio_context_free(&FContext);
}

int TAvioStream::ReadPacket(void* Opaque, uint8_t* Buffer, int Size) {
  auto* self = static_cast<TAvioStream*>(Opaque);
  const int64_t leading = static_cast<int64_t>(self->FLeading.size());
  if (self->FPosition < leading) {
    const int n = static_cast<int>(std::min<int64_t>(Size, leading - self->FPosition));
    std::memcpy(Buffer, self->FLeading.data() + self->FPosition, static_cast<size_t>(n));
    self->FPosition += n;
    // The stream's own bytes follow from Resume on.
    if (self->FPosition == leading) self->FStream->Seek(self->FBase + self->FResume, STREAM_SEEK_SET, nullptr);
    return n;
  }
  uint32_t n = 0;
  const HRESULT result = self->FStream->Read(Buffer, static_cast<uint32_t>(Size), &n);
  if (result != S_OK && result != S_FALSE) {
    // An error of the file, not its end: FFmpeg must not take it for one.
    self->FReadFailed = true;
    return AVERROR(EIO);
  }
  if (n == 0) return AVERROR_EOF;
  self->FPosition += n;
  return static_cast<int>(n);
}

int TAvioStream::WritePacket(void* Opaque, uint8_t* Buffer, int Size) {
  auto* self = static_cast<TAvioStream*>(Opaque);
  uint32_t n = 0;
  if (self->FStream->Write(Buffer, static_cast<uint32_t>(Size), &n) != S_OK || n != static_cast<uint32_t>(Size))
    return AVERROR(EIO);
  self->FPosition += n;
  return Size;
}

int64_t TAvioStream::SeekTo(void* Opaque, int64_t Offset, int Whence) {
  auto* self = static_cast<TAvioStream*>(Opaque);
  Whence &= ~AVSEEK_FORCE;
  TStatStg stat;
  // Positions count from where the stream stood when the context was made,
  // with the leading bytes standing in for the stream's first Resume bytes.
  const int64_t leading = static_cast<int64_t>(self->FLeading.size());
  auto size = [&]() -> int64_t {
    if (self->FStream->Stat(&stat, 0) != S_OK) return -1;
    return leading + std::max<int64_t>(static_cast<int64_t>(stat.cbSize) - self->FBase - self->FResume, 0);
  };
  if (Whence == AVSEEK_SIZE) return size();
  int64_t target;
  switch (Whence) {
    case SEEK_SET: target = Offset; break;
    case SEEK_CUR: target = self->FPosition + Offset; break;
    case SEEK_END: {
      const int64_t end = size();
      if (end < 0) return -1;
      target = end + Offset;
      break;
    }
    default: return -1;
  }
  if (target < 0) return -1;
  const int64_t at = target < leading ? self->FResume : self->FResume + target - leading;
  if (self->FStream->Seek(self->FBase + at, STREAM_SEEK_SET, nullptr) != S_OK) return -1;
  self->FPosition = target;
  return target;
}

}  // namespace tonvale::wmf
