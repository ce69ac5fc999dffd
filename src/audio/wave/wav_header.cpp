#include "audio/wave/wav_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/wave_format.h"

namespace tonvale {

bool MatchId(const uint8_t* Id, const char* Expected) {
  for (int i = 0; i < 4; ++i) {
    uint8_t e = static_cast<uint8_t>(Expected[i]);
    if (Id[i] != e && static_cast<uint8_t>(Id[i] - e) != 32 && static_cast<uint8_t>(e - Id[i]) != 32) return false;
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
    V = BigEndian ? uint32_t{b[3]} | (b[2] << 8) | (b[1] << 16) | (uint32_t(b[0]) << 24) : Le32(b);
    return true;
  }
  bool BigEndian = false;  // a RIFX file: every number is big-endian
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
      if (!Read32(size) || !SkipChunk(size) || !Read(Id, 4) || AtEnd()) return false;
    }
    return true;
  }
  bool Skip(uint32_t Count) {
    if (FConsumed + Count > kWavHeaderLimit) return false;
    std::vector<uint8_t> body(Count);
    return Read(body.data(), Count);
  }
  // A chunk body and, for an odd size, its pad byte.
  bool SkipChunk(uint32_t Count) { return Skip(Count) && (Count % 2 == 0 || Skip(1)); }
  bool AtEnd() { return FSeekable && FStream.Position() >= FSize; }
  // Bytes from the current position to the end; -1 when not known.
  int64_t Left() { return FSeekable ? FSize - FStream.Position() : -1; }
  int64_t Offset() const { return FStart + FConsumed; }

 private:
  TStream& FStream;
  int64_t FSize, FStart;
  bool FSeekable;
  int64_t FConsumed = 0;
};

constexpr uint16_t kFloatTag = WAVE_FORMAT_IEEE_FLOAT;
constexpr uint16_t kExtensibleTag = WAVE_FORMAT_EXTENSIBLE;

TWavType KindOfTag(uint16_t Tag, bool AppendScan) {
  switch (Tag) {
    case 6: return AppendScan ? wtUnsupported : wtALaw;
    case 7: return AppendScan ? wtUnsupported : wtMuLaw;
    case 1: return wtPCM;
    case kFloatTag:
    case kExtensibleTag: return AppendScan ? wtUnsupported : wtPCM;
    case 17: return wtDVIADPCM;
    case 2: return AppendScan ? wtUnsupported : wtMSADPCM;
    case 85:
    case WAVE_FORMAT_GSM610: return AppendScan ? wtUnsupported : wtACM;
    default: return wtUnsupported;
  }
}

// The name of a format tag that is not read, in the refusal.
std::string UnreadFormat(uint16_t Tag) {
  static const std::pair<uint16_t, const char*> kNames[] = {{0x0010, "OKI ADPCM"},    {0x0020, "Yamaha ADPCM"},
                                                            {0x0022, "TrueSpeech"},   {0x0031, "GSM 6.10"},
                                                            {0x0040, "G.721 ADPCM"},  {0x0045, "G.726 ADPCM"},
                                                            {0x0050, "MPEG"},         {0x0064, "G.726 ADPCM"},
                                                            {0x0065, "G.722 ADPCM"},  {0x0092, "AC-3 over S/PDIF"},
                                                            {0x00FF, "AAC"},          {0x0160, "WMA 1"},
                                                            {0x0161, "WMA 2"},        {0x0162, "WMA Pro"},
                                                            {0x0163, "WMA Lossless"}, {0x2000, "AC-3"},
                                                            {0x2001, "DTS"},          {0xF1AC, "FLAC"}};
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%04X", Tag);
  std::string text = std::string("WAV format ") + hex;
  for (const auto& [tag, name] : kNames)
    if (tag == Tag) text += std::string(" (") + name + ")";
  return text + " is not read";
}

// Checks a PCM format's width and takes integer samples at their
// container's width; false (with the reason, where there is one) when it
// is not read.
bool TakePcmWidth(TWavHeader& H, bool Float, bool Extensible) {
  H.Float = Float;
  const int bits = H.BitsPerSample;
  if (Float ? bits != 32 && bits != 64 : bits < 8 || bits > 32) {
    H.Refusal = std::to_string(bits) + "-bit " + (Float ? "float" : "integer") + " PCM is not read";
    return false;
  }
  if (!Float && H.Channels > 0 && H.BlockAlign % H.Channels == 0) {
    // The valid bits are the high bits of a container the block align
    // tells: read at the container's width, the low bits are zeros.
    const int container = H.BlockAlign / H.Channels * 8;
    if (container > bits && container <= 32) H.BitsPerSample = static_cast<uint16_t>(container);
  }
  // Plain integer PCM keeps taking what it took before: its width is checked
  // by the reader. Float and extensible formats are checked here.
  const int width = H.BitsPerSample;
  return !(Float || Extensible) || (width % 8 == 0 && H.Channels >= 1 && H.BlockAlign == H.Channels * width / 8);
}

}  // namespace

TWavHeader ScanWavHeader(TStream& Source, bool AppendScan) {
  TWavHeader h;
  Scanner s(Source);
  uint8_t id[4];
  uint32_t size;
  if (!s.Read(id, 4)) return h;
  // "RIFF", or the 64-bit forms and big-endian RIFX, which the append scan
  // does not take.
  while (!MatchId(id, "RIFF") &&
         (AppendScan || (!MatchId(id, "RF64") && !MatchId(id, "BW64") && !MatchId(id, "RIFX")))) {
    std::memmove(id, id + 1, 3);
    if (!s.Read(id + 3, 1) || s.AtEnd()) return h;
  }
  s.BigEndian = h.BigEndian = MatchId(id, "RIFX");
  const bool wide = !MatchId(id, "RIFF") && !h.BigEndian;
  if (!s.Read32(size) || s.AtEnd()) return h;
  if (!s.Read(id, 4) || !s.Search(id, "WAVE") || !s.Read(id, 4) || s.AtEnd()) return h;

  uint64_t wideDataSize = 0;
  if (wide) {
    // ds64: RIFF size, data size, sample count (64 bits each), then a table.
    if (!s.FindChunk(id, "ds64") || !s.Read32(size) || size < 24) return h;
    uint32_t lo, hi, skip;
    if (!s.Read32(lo) || !s.Read32(hi) || !s.Read32(lo) || !s.Read32(hi)) return h;
    wideDataSize = (uint64_t{hi} << 32) | lo;
    if (!s.Read32(skip) || !s.Read32(skip) || !s.SkipChunk(size - 24) || !s.Read(id, 4) || s.AtEnd()) return h;
  }

  if (!s.FindChunk(id, "fmt ") || !s.Read32(size)) return h;
  if (s.Offset() + size > kWavHeaderLimit) return h;
  std::vector<uint8_t> fmt(std::max<uint32_t>(size, 40), 0);
  if (!s.Read(fmt.data(), size) || (size % 2 == 1 && !s.Skip(1))) return h;
  if (h.BigEndian) {
    // The fields read below, as a little-endian header holds them. Only
    // plain PCM and float are read from a RIFX file.
    for (int at : {0, 2, 12, 14}) std::swap(fmt[at], fmt[at + 1]);
    for (int at : {4, 8}) std::reverse(fmt.begin() + at, fmt.begin() + at + 4);
    if (Le16(&fmt[0]) != 1 && Le16(&fmt[0]) != kFloatTag) {
      h.Refusal = "big-endian " + UnreadFormat(Le16(&fmt[0]));
      return h;
    }
  }
  uint16_t tag = Le16(&fmt[0]);
  const TWavType kind = KindOfTag(tag, AppendScan);
  h.FormatTag = tag;
  if (kind == wtUnsupported) {
    h.Refusal = UnreadFormat(tag);
    return h;
  }
  h.Channels = Le16(&fmt[2]);
  h.SampleRate = Le32(&fmt[4]);
  h.BlockAlign = Le16(&fmt[12]);
  h.BitsPerSample = Le16(&fmt[14]);
  if (tag == kExtensibleTag) {
    // cbSize 22: valid bits, the speaker mask, the sub-format GUID.
    if (size < 40 || Le16(&fmt[16]) < 22 || std::memcmp(&fmt[26], kSubformatGuidTail, sizeof kSubformatGuidTail) != 0)
      return h;
    tag = Le16(&fmt[24]);
    h.ChannelMask = Le32(&fmt[20]);
    const uint16_t valid = Le16(&fmt[18]);
    if (tag != 1 && tag != kFloatTag) {
      h.Refusal = UnreadFormat(tag);
      return h;
    }
    if (valid > h.BitsPerSample) return h;
  }
  if (kind == wtPCM && !TakePcmWidth(h, tag == kFloatTag, Le16(&fmt[0]) == kExtensibleTag)) return h;
  if (kind == wtDVIADPCM || kind == wtMSADPCM) h.SamplesPerBlock = Le16(&fmt[18]);
  if (kind == wtMSADPCM) {
    h.CoefCount = Le16(&fmt[20]);
    // More pairs than there is room for, or than the chunk holds: not recognised.
    if (h.CoefCount > h.Coefs.size() || 22 + 4u * h.CoefCount > size) return h;
    for (int i = 0; i < h.CoefCount; ++i)
      h.Coefs[i] = {static_cast<int16_t>(Le16(&fmt[22 + 4 * i])), static_cast<int16_t>(Le16(&fmt[24 + 4 * i]))};
  }
  if (!s.Read(id, 4) || s.AtEnd()) return h;
  // G.711 is a sample a byte: its length needs no fact chunk.
  if (kind != wtPCM && kind != wtALaw && kind != wtMuLaw) {
    if (!s.FindChunk(id, "fact") || !s.Read32(size) || size < 4) return h;
    h.FactOffset = s.Offset();
    if (!s.Read32(h.FactCount) || !s.SkipChunk(size - 4) || !s.Read(id, 4) || s.AtEnd()) return h;
  }
  if (!s.FindChunk(id, "data")) return h;
  h.DataSizeOffset = s.Offset();
  uint32_t dataSize;
  if (!s.Read32(dataSize)) return h;
  h.DataSize = dataSize;
  h.DataOffset = s.Offset();
  if (wide && dataSize == 0xFFFFFFFF) h.DataSize = wideDataSize;
  // Streaming recorders leave the size at 0 or all ones: the data runs to the end.
  if (!AppendScan && (dataSize == 0 || dataSize == 0xFFFFFFFF) && (!wide || wideDataSize == 0) && s.Left() >= 0)
    h.DataSize = static_cast<uint64_t>(s.Left());
  h.Kind = kind;
  return h;
}

namespace {

// Data sizes from here on get the RF64 header: 64 MiB short of the limit, so
// that a source whose length was estimated a little short still fits.
constexpr int64_t kWideDataFrom = kRiffFileLimit - kRiffHeaderSize - (int64_t{1} << 26);

}  // namespace

std::string OtherFileType(const uint8_t* Head, size_t Bytes) {
  static const uint8_t kAsf[4] = {0x30, 0x26, 0xB2, 0x75};
  const char* type = nullptr;
  if (Bytes >= 4 && std::memcmp(Head, kAsf, 4) == 0)
    type = "a WMA file";
  else if (Bytes >= 3 && (std::memcmp(Head, "ID3", 3) == 0 || (Head[0] == 0xFF && (Head[1] & 0xE0) == 0xE0)))
    type = "an MP3 file";
  else if (Bytes >= 4 && std::memcmp(Head, "fLaC", 4) == 0)
    type = "a FLAC file";
  else if (Bytes >= 4 && std::memcmp(Head, "OggS", 4) == 0)
    type = "an Ogg file";
  else if (Bytes >= 12 && std::memcmp(Head + 4, "ftyp", 4) == 0)
    type = "an MP4 file";
  else if (Bytes >= 4 && (std::memcmp(Head, "FORM", 4) == 0))
    type = "an AIFF file";
  return type ? std::string("it is ") + type + ", not a WAV file" : "";
}

void PutLe(uint8_t* P, uint64_t V, int Bytes) {
  for (int i = 0; i < Bytes; ++i) P[i] = static_cast<uint8_t>(V >> (8 * i));
}

void WriteLeAt(TStream& File, int64_t Offset, uint64_t Value, int Bytes) {
  uint8_t b[8];
  PutLe(b, Value, Bytes);
  File.SetPosition(Offset);
  File.Write(b, Bytes);
}

std::vector<uint8_t> PcmWavHeader(uint16_t Channels, uint32_t SampleRate, uint16_t BitsPerSample, int64_t DataBytes) {
  const bool wide = DataBytes >= kWideDataFrom;
  std::vector<uint8_t> h(static_cast<size_t>(wide ? kRf64HeaderSize : kRiffHeaderSize), 0);
  const uint16_t align = static_cast<uint16_t>(BitsPerSample * Channels / 8);
  uint8_t* p = h.data();
  std::memcpy(p, wide ? "RF64" : "RIFF", 4);
  PutLe(p + 4, wide ? 0xFFFFFFFF : static_cast<uint32_t>(DataBytes + 36), 4);
  std::memcpy(p + 8, "WAVE", 4);
  if (wide) {
    // ds64: the RIFF size, the data size and the sample count in 64 bits,
    // then an empty table; the 32-bit fields say to look here.
    std::memcpy(p + 12, "ds64", 4);
    PutLe(p + 16, 28, 4);
    PutLe(p + 20, static_cast<uint64_t>(DataBytes + kRf64HeaderSize - 8), 8);
    PutLe(p + 28, static_cast<uint64_t>(DataBytes), 8);
    PutLe(p + 36, static_cast<uint64_t>(DataBytes) / (align ? align : 1), 8);
    p += 36;
  }
  std::memcpy(p + 12, "fmt ", 4);
  PutLe(p + 16, 16, 4);
  PutLe(p + 20, 1, 2);
  PutLe(p + 22, Channels, 2);
  PutLe(p + 24, SampleRate, 4);
  PutLe(p + 28, uint64_t{SampleRate} * align, 4);
  PutLe(p + 32, align, 2);
  PutLe(p + 34, BitsPerSample, 2);
  std::memcpy(p + 36, "data", 4);
  PutLe(p + 40, wide ? 0xFFFFFFFF : static_cast<uint32_t>(DataBytes), 4);
  return h;
}

void StatePcmSizes(TStream& File, int64_t FileSize) {
  uint8_t id[4] = {};
  File.SetPosition(0);
  const bool wide = File.Read(id, 4) == 4 && std::memcmp(id, "RF64", 4) == 0;
  if (!wide) {
    WriteLeAt(File, 4, static_cast<uint64_t>(FileSize - 8), 4);
    WriteLeAt(File, 40, static_cast<uint64_t>(FileSize - kRiffHeaderSize), 4);
    return;
  }
  // The fmt chunk follows the 36-byte ds64 chunk; its block align is the frame size.
  uint8_t align[2] = {};
  File.SetPosition(36 + 32);
  File.Read(align, 2);
  const uint64_t data = static_cast<uint64_t>(FileSize - kRf64HeaderSize);
  const unsigned frame = align[0] | (align[1] << 8);
  WriteLeAt(File, 20, static_cast<uint64_t>(FileSize - 8), 8);
  WriteLeAt(File, 28, data, 8);
  WriteLeAt(File, 36, data / (frame ? frame : 1), 8);
}

}  // namespace tonvale
