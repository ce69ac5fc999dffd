#include "audio/wave/wave_converter.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

namespace tonvale {
namespace {

uint32_t Le32(const uint8_t* P) { return P[0] | (P[1] << 8) | (P[2] << 16) | (uint32_t(P[3]) << 24); }

void PutLe32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<uint8_t>(V >> (8 * i));
}

}  // namespace

TWaveConverter::TWaveConverter() {
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &MaxFormatSize) != 0) MaxFormatSize = 0;
  MaxFormatSize = std::min(MaxFormatSize, kFormatBufferSize);
}

TWaveConverter::~TWaveConverter() { EndStream(); }

namespace {
// Compressed bytes converted at a time: about 180 KB of CD-quality PCM.
constexpr uint32_t kStreamPiece = 16384;
}  // namespace

int TWaveConverter::BeginStream(TStream& Source, uint64_t Bytes, uint64_t& PcmBytes) {
  EndStream();
  PcmBytes = 0;
  if (uint32_t rc =
          acmStreamOpen(&FStream, nullptr, SourceFormat(), DestFormat(), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME))
    return static_cast<int>(rc);
  FHeader = TAcmStreamHeader{};
  FHeader.cbStruct = sizeof FHeader;
  if (uint32_t rc = acmStreamPrepareHeader(FStream, &FHeader, 0)) {
    EndStream();
    return static_cast<int>(rc);
  }
  // A first pass finds the length from the frames themselves, reading the
  // data in pieces.
  const int64_t start = Source.Position();
  FPiece.resize(kStreamPiece);
  for (uint64_t left = Bytes;;) {
    const int64_t n = Source.Read(FPiece.data(), static_cast<int64_t>(std::min<uint64_t>(left, kStreamPiece)));
    left -= static_cast<uint64_t>(std::max<int64_t>(n, 0));
    const bool last = n <= 0 || left == 0;
    if (uint32_t rc =
            acmStreamMeasure(FStream, FPiece.data(), static_cast<uint32_t>(std::max<int64_t>(n, 0)), last, &PcmBytes)) {
      EndStream();
      return static_cast<int>(rc);
    }
    if (last) break;
  }
  Source.SetPosition(start);
  FSource = &Source;
  FSourceLeft = Bytes;
  FSourceEnded = false;
  return 0;
}

uint32_t TWaveConverter::ReadPcm(uint8_t* Dest, uint32_t Count) {
  if (!FStream) return 0;
  FHeader.pbSrc = FPiece.data();
  FHeader.pbDst = Dest;
  FHeader.cbDstLength = Count;
  for (;;) {
    // What the last piece gave comes first; a new piece is read only when
    // nothing is left, so no more than one piece's PCM is ever held.
    FHeader.cbSrcLength = 0;
    if (acmStreamConvert(FStream, &FHeader, ACM_STREAMCONVERTF_BLOCKALIGN) != 0) return 0;
    if (FHeader.cbDstLengthUsed > 0 || FSourceEnded) return FHeader.cbDstLengthUsed;
    uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN;
    const int64_t n = FSource->Read(FPiece.data(), static_cast<int64_t>(std::min<uint64_t>(FSourceLeft, kStreamPiece)));
    FHeader.cbSrcLength = static_cast<uint32_t>(std::max<int64_t>(n, 0));
    FSourceLeft -= FHeader.cbSrcLength;
    if (n <= 0 || FSourceLeft == 0) {
      flags |= ACM_STREAMCONVERTF_END;
      FSourceEnded = true;
    }
    if (acmStreamConvert(FStream, &FHeader, flags) != 0) return 0;
    if (FHeader.cbDstLengthUsed > 0) return FHeader.cbDstLengthUsed;
  }
}

void TWaveConverter::EndStream() {
  if (!FStream) return;
  if (FHeader.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) acmStreamUnprepareHeader(FStream, &FHeader, 0);
  acmStreamClose(FStream, 0);
  FStream = nullptr;
  FSource = nullptr;
  FPiece.clear();
  FPiece.shrink_to_fit();
}

int TWaveConverter::LoadFromWav(TStream& Source) {
  uint8_t head[12];
  if (Source.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
    return 0;
  const int64_t size = Source.Size();
  // Slide an 8-byte window over the file one byte at a time; after a chunk
  // that is taken, the window goes on from 7 bytes before its end.
  int64_t window = 5;
  while (window + 8 <= size) {
    Source.Seek(window, TSeekOrigin::soBeginning);
    uint8_t chunk[8];
    if (Source.Read(chunk, 8) != 8) break;
    const uint32_t body = Le32(chunk + 4);
    const bool fmt = std::memcmp(chunk, "fmt ", 4) == 0;
    const bool fact = std::memcmp(chunk, "fact", 4) == 0;
    const bool data = std::memcmp(chunk, "data", 4) == 0 && body != 0;
    if (!fmt && !fact && !data) {
      ++window;
      continue;
    }
    // A body can hold no more than what is left of the source.
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<int64_t>(body, size - window - 8)));
    const int64_t got = Source.Read(bytes.data(), static_cast<int64_t>(bytes.size()));
    if (fmt) {
      // Up to the buffer's size; a body shorter than the basic record is zero-filled.
      std::memset(FSourceFormat, 0, sizeof FSourceFormat);
      std::memcpy(FSourceFormat, bytes.data(), std::min<size_t>(static_cast<size_t>(got), kFormatBufferSize));
    } else if (data) {
      SetSize(0);
      SetPosition(0);
      Write(bytes.data(), got);
    }
    window += 8 + got - 7;
  }
  SetPosition(0);
  return 0;
}

int TWaveConverter::Convert() {
  HACMSTREAM stream = nullptr;
  if (uint32_t rc =
          acmStreamOpen(&stream, nullptr, SourceFormat(), DestFormat(), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME))
    return static_cast<int>(rc);
  const uint32_t sourceLength = static_cast<uint32_t>(Size());
  uint32_t destLength = 0;
  if (uint32_t rc = acmStreamSize(stream, sourceLength, &destLength, ACM_STREAMSIZEF_SOURCE)) {
    acmStreamClose(stream, 0);
    return static_cast<int>(rc);
  }
  std::vector<uint8_t> source(Data().begin(), Data().end());
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> dest(destLength);
  TAcmStreamHeader header{};
  header.cbStruct = sizeof header;
  header.pbSrc = source.data();
  header.cbSrcLength = sourceLength;
  header.pbDst = dest.data();
  header.cbDstLength = destLength;
  uint32_t rc = acmStreamPrepareHeader(stream, &header, 0);
  // The whole data is the one and last piece.
  if (rc == 0) rc = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_END);
  // Keep what the decoder produced, however far it is from the estimate.
  while (rc == 0) {
    pcm.insert(pcm.end(), dest.begin(), dest.begin() + header.cbDstLengthUsed);
    if (header.cbDstLengthUsed < header.cbDstLength || header.cbDstLength == 0) break;
    header.cbSrcLength = 0;
    rc = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
  }
  if (rc != 0) {
    if (header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) acmStreamUnprepareHeader(stream, &header, 0);
    acmStreamClose(stream, 0);
    return static_cast<int>(rc);
  }
  std::memcpy(FSourceFormat, FDestFormat, MaxFormatSize);
  SetSize(0);
  SetPosition(0);
  Write(pcm.data(), static_cast<int64_t>(pcm.size()));
  SetPosition(0);
  rc = acmStreamUnprepareHeader(stream, &header, 0);
  uint32_t closed = acmStreamClose(stream, 0);
  return static_cast<int>(rc ? rc : closed);
}

int TWaveConverter::SaveWav(TStream& Dest) {
  try {
    uint8_t header[44] = {};
    std::memcpy(header, "RIFF", 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLe32(header + 16, 16);
    std::memcpy(header + 20, FSourceFormat, 16);
    std::memcpy(header + 36, "data", 4);
    PutLe32(header + 40, static_cast<uint32_t>(Size()));
    const int64_t start = Dest.Position();
    Dest.Write(header, 44);
    Dest.Write(Data().data(), Size());
    const int64_t end = Dest.Position();
    Dest.SetPosition(start + 4);
    uint8_t riff[4];
    PutLe32(riff, static_cast<uint32_t>(end - start - 8));
    Dest.Write(riff, 4);
    Dest.SetPosition(start);
    return 0;
  } catch (const std::exception&) {
    return 286;
  }
}

}  // namespace tonvale
