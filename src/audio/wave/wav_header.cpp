#include "audio/wave/wav_header.h"

#include <cstring>
#include <vector>

namespace tonvale {

bool MatchId(const uint8_t* Id, const char* Expected) {
  for (int i = 0; i < 4; ++i) {
    uint8_t e = static_cast<uint8_t>(Expected[i]);
    if (Id[i] != e && static_cast<uint8_t>(Id[i] - e) != 32 && static_cast<uint8_t>(e - Id[i]) != 32)
      return false;
  }
  return true;
}

namespace {

uint16_t Le16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
uint32_t Le32(const uint8_t* P) { return P[0] | (P[1] << 8) | (P[2] << 16) | (uint32_t(P[3]) << 24); }

class Scanner {
 public:
  explicit Scanner(TStream& S) : FStream(S) {
    FSize = S.Size();
    FStart = S.Position();
    FSeekable = FSize >= 0 && FStart >= 0;
  }

  // Reads exactly Count bytes within the header limit; false otherwise.
  bool Read(void* Buffer, int64_t Count) {
    if (FConsumed + Count > kWavHeaderLimit) return false;
    if (FStream.Read(Buffer, Count) != Count) return false;
    FConsumed += Count;
    return true;
  }
  bool Read32(uint32_t& V) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    V = Le32(b);
    return true;
  }
  // Slides over the input one byte at a time until the last four bytes read
  // match Id.
  bool Search(uint8_t* Window, const char* Id) {
    while (!MatchId(Window, Id)) {
      std::memmove(Window, Window + 1, 3);
      if (!Read(Window + 3, 1) || AtEnd()) return false;
    }
    return true;
  }
  // Skips chunks until one whose id matches; Id holds the current id.
  bool FindChunk(uint8_t* Id, const char* Wanted) {
    while (!MatchId(Id, Wanted)) {
      uint32_t size;
      if (!Read32(size) || !Skip(size) || !Read(Id, 4) || AtEnd()) return false;
    }
    return true;
  }
  bool Skip(uint32_t Count) {
    if (FConsumed + Count > kWavHeaderLimit) return false;
    std::vector<uint8_t> body(Count);
    return Read(body.data(), Count);
  }
  bool AtEnd() { return FSeekable && FStream.Position() >= FSize; }
  int64_t Offset() const { return FStart + FConsumed; }

 private:
  TStream& FStream;
  int64_t FSize, FStart;
  bool FSeekable;
  int64_t FConsumed = 0;
};

TWavType KindOfTag(uint16_t Tag, bool AppendScan) {
  switch (Tag) {
    case 1: return wtPCM;
    case 17: return wtDVIADPCM;
    case 2: return AppendScan ? wtUnsupported : wtMSADPCM;
    case 85: return AppendScan ? wtUnsupported : wtACM;
    default: return wtUnsupported;
  }
}

}  // namespace

TWavHeader ScanWavHeader(TStream& Source, bool AppendScan) {
  TWavHeader h;
  Scanner s(Source);
  uint8_t id[4];
  uint32_t size;
  if (!s.Read(id, 4) || !s.Search(id, "RIFF") || !s.Read32(size) || s.AtEnd()) return h;
  if (!s.Read(id, 4) || !s.Search(id, "WAVE") || !s.Read(id, 4) || s.AtEnd()) return h;

  if (!s.FindChunk(id, "fmt ") || !s.Read32(size)) return h;
  if (s.Offset() + size > kWavHeaderLimit) return h;
  std::vector<uint8_t> fmt(std::max<uint32_t>(size, 22), 0);
  if (!s.Read(fmt.data(), size)) return h;
  const TWavType kind = KindOfTag(Le16(&fmt[0]), AppendScan);
  if (kind == wtUnsupported) return h;
  h.Channels = Le16(&fmt[2]);
  h.SampleRate = Le32(&fmt[4]);
  h.BlockAlign = Le16(&fmt[12]);
  h.BitsPerSample = Le16(&fmt[14]);
  if (kind == wtDVIADPCM || kind == wtMSADPCM) h.SamplesPerBlock = Le16(&fmt[18]);
  if (kind == wtMSADPCM) {
    h.CoefCount = Le16(&fmt[20]);
    // More pairs than there is room for, or than the chunk holds: not recognised.
    if (h.CoefCount > h.Coefs.size() || 22 + 4u * h.CoefCount > size) return h;
    for (int i = 0; i < h.CoefCount; ++i)
      h.Coefs[i] = {static_cast<int16_t>(Le16(&fmt[22 + 4 * i])), static_cast<int16_t>(Le16(&fmt[24 + 4 * i]))};
  }
  if (!s.Read(id, 4) || s.AtEnd()) return h;

  if (kind != wtPCM) {
    if (!s.FindChunk(id, "fact") || !s.Read32(size) || size < 4) return h;
    h.FactOffset = s.Offset();
    if (!s.Read32(h.FactCount) || !s.Skip(size - 4) || !s.Read(id, 4) || s.AtEnd()) return h;
  }
  if (!s.FindChunk(id, "data")) return h;
  h.DataSizeOffset = s.Offset();
  if (!s.Read32(h.DataSize)) return h;
  h.DataOffset = s.Offset();
  h.Kind = kind;
  return h;
}

}  // namespace tonvale
