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

  // Reads exactly Count bytes (within the header limit while Limited).
  bool Read(void* Buffer, int64_t Count) {
    if (Limited && FConsumed + Count > kWavHeaderLimit) return false;
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
  // Junk before the RIFF header is searched within the header limit only;
  // the chunks after it are walked wherever they lie in the file.
  bool Limited = true;
  // Why the walk ended without its chunk, when the file says why.
  std::string Reason;
  // The fact chunk met on the way (its count and where its body starts).
  uint32_t FactCount = 0;
  int64_t FactOffset = -1;
  // Slides over the input one byte at a time until the last four bytes read
  // match Id.
  bool Search(uint8_t* Window, const char* Id) {
    while (!MatchId(Window, Id)) {
      std::memmove(Window, Window + 1, 3);
      if (!Read(Window + 3, 1) || AtEnd()) return false;
    }
    return true;
  }
  // Skips chunks until one whose id matches; Id holds the current id. A
  // fact chunk on the way is taken.
  bool FindChunk(uint8_t* Id, const char* Wanted) {
    while (!MatchId(Id, Wanted)) {
      // No writer puts that many chunks before its data: a file of empty
      // chunks would be walked 8 bytes at a time.
      if (++FChunks > kMostChunks) {
        Reason = "more than " + std::to_string(kMostChunks) + " chunks come before its \"" + Wanted + "\" chunk";
        return false;
      }
      uint32_t size;
      if (!Read32(size)) return Ends(Wanted);
      if (!Fits(Id, size)) return false;
      if (MatchId(Id, "fact") && size >= 4 && FactOffset < 0) {
        FactOffset = Offset();
        if (!Read32(FactCount)) return Ends(Wanted);
        size -= 4;
      }
      if (!SkipChunk(size) || !Read(Id, 4) || AtEnd()) return Ends(Wanted);
    }
    return true;
  }
  // A chunk body of Size bytes lies within the file; otherwise the walk
  // ends there, with the reason.
  bool Fits(const uint8_t* Id, uint32_t Size) {
    if (!FSeekable || static_cast<int64_t>(Size) <= Left()) return true;
    std::string name(reinterpret_cast<const char*>(Id), 4);
    for (char& c : name)
      if (c < ' ' || c > '~') c = '?';
    Reason = "its \"" + name + "\" chunk states " + std::to_string(Size) + " bytes, more than the file holds";
    return false;
  }
  // The file ended before the chunk Wanted.
  bool Ends(const char* Wanted) {
    if (Reason.empty()) Reason = "the file ends before its \"" + std::string(Wanted) + "\" chunk";
    return false;
  }
  bool Skip(uint32_t Count) {
    if (Limited && FConsumed + Count > kWavHeaderLimit) return false;
    if (FSeekable) {
      const int64_t to = FStream.Position() + Count;
      if (to > FSize || FStream.Seek(to, TSeekOrigin::soBeginning) != to) return false;
      FConsumed += Count;
      return true;
    }
    std::vector<uint8_t> body(std::min<uint32_t>(Count, 1 << 16));
    for (uint32_t left = Count; left > 0;) {
      const uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(body.size()));
      if (!Read(body.data(), n)) return false;
      left -= n;
    }
    return true;
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
  static constexpr int kMostChunks = 10000;
  int FChunks = 0;
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

// The RIFF header (or "RF64"/"BW64" with its ds64 chunk, or big-endian
// "RIFX") up to the first chunk id, which Id then holds; false when the
// file is none of these. WideDataSize: the ds64 chunk's data size.
bool ScanRiff(Scanner& S, TWavHeader& H, bool AppendScan, uint8_t* Id, bool& Wide, uint64_t& WideDataSize) {
  uint32_t size;
  if (!S.Read(Id, 4)) return false;
  while (!MatchId(Id, "RIFF") &&
         (AppendScan || (!MatchId(Id, "RF64") && !MatchId(Id, "BW64") && !MatchId(Id, "RIFX")))) {
    std::memmove(Id, Id + 1, 3);
    if (!S.Read(Id + 3, 1) || S.AtEnd()) return false;
  }
  S.BigEndian = H.BigEndian = MatchId(Id, "RIFX");
  Wide = !MatchId(Id, "RIFF") && !H.BigEndian;
  if (!S.Read32(size) || S.AtEnd()) return false;
  if (!S.Read(Id, 4) || !S.Search(Id, "WAVE") || !S.Read(Id, 4) || S.AtEnd()) return false;
  S.Limited = false;
  if (!Wide) return true;
  // ds64: RIFF size, data size, sample count (64 bits each), then a table.
  if (!S.FindChunk(Id, "ds64") || !S.Read32(size) || size < 24) return false;
  uint32_t lo, hi, skip;
  if (!S.Read32(lo) || !S.Read32(hi) || !S.Read32(lo) || !S.Read32(hi)) return false;
  WideDataSize = (uint64_t{hi} << 32) | lo;
  return S.Read32(skip) && S.Read32(skip) && S.SkipChunk(size - 24) && S.Read(Id, 4) && !S.AtEnd();
}

// A fmt body larger than this is no format.
constexpr uint32_t kLargestFmt = 1 << 16;

// Reads the fmt chunk's body (at least 40 bytes, zero-filled), the numbers
// of a RIFX file made little-endian; false when it cannot be read.
bool ReadFmt(Scanner& S, TWavHeader& H, uint8_t* Id, std::vector<uint8_t>& Fmt, uint32_t& Size) {
  if (!S.FindChunk(Id, "fmt ") || !S.Read32(Size) || !S.Fits(Id, Size)) return false;
  if (Size > kLargestFmt) {
    H.Refusal = "its \"fmt \" chunk of " + std::to_string(Size) + " bytes is not a WAV format";
    return false;
  }
  Fmt.assign(std::max<uint32_t>(Size, 40), 0);
  if (!S.Read(Fmt.data(), Size) || (Size % 2 == 1 && !S.Skip(1))) return false;
  if (!H.BigEndian) return true;
  // The fields read below, as a little-endian header holds them. Only plain
  // PCM and float are read from a RIFX file.
  for (int at : {0, 2, 12, 14}) std::swap(Fmt[at], Fmt[at + 1]);
  for (int at : {4, 8}) std::reverse(Fmt.begin() + at, Fmt.begin() + at + 4);
  if (Le16(&Fmt[0]) != 1 && Le16(&Fmt[0]) != kFloatTag) {
    H.Refusal = "big-endian " + UnreadFormat(Le16(&Fmt[0]));
    return false;
  }
  return true;
}

// Takes the format of a fmt body of Size bytes into H; returns the kind,
// wtUnsupported (with the reason, where there is one) when it is not read.
TWavType TakeFormat(TWavHeader& H, const std::vector<uint8_t>& Fmt, uint32_t Size, bool AppendScan) {
  uint16_t tag = Le16(&Fmt[0]);
  TWavType kind = KindOfTag(tag, AppendScan);
  H.FormatTag = tag;
  if (kind == wtUnsupported) {
    H.Refusal = UnreadFormat(tag);
    return kind;
  }
  H.Channels = Le16(&Fmt[2]);
  H.SampleRate = Le32(&Fmt[4]);
  H.BlockAlign = Le16(&Fmt[12]);
  H.BitsPerSample = Le16(&Fmt[14]);
  if (tag == kExtensibleTag) {
    // cbSize 22: valid bits, the speaker mask, the sub-format GUID.
    if (Size < 40 || Le16(&Fmt[16]) < 22 || std::memcmp(&Fmt[26], kSubformatGuidTail, sizeof kSubformatGuidTail) != 0)
      return wtUnsupported;
    tag = Le16(&Fmt[24]);
    H.ChannelMask = Le32(&Fmt[20]);
    // PCM, float, and G.711 through the same tables as its plain tags.
    kind = tag == 1 || tag == kFloatTag ? wtPCM : tag == 6 || tag == 7 ? KindOfTag(tag, AppendScan) : wtUnsupported;
    if (kind == wtUnsupported) {
      H.Refusal = UnreadFormat(tag);
      return kind;
    }
    if (Le16(&Fmt[18]) > H.BitsPerSample) return wtUnsupported;
  }
  if (kind == wtPCM && !TakePcmWidth(H, tag == kFloatTag, Le16(&Fmt[0]) == kExtensibleTag)) return wtUnsupported;
  if (kind == wtDVIADPCM || kind == wtMSADPCM) H.SamplesPerBlock = Le16(&Fmt[18]);
  if (kind == wtMSADPCM) {
    H.CoefCount = Le16(&Fmt[20]);
    // More pairs than there is room for, or than the chunk holds: not recognised.
    if (H.CoefCount > H.Coefs.size() || 22 + 4u * H.CoefCount > Size) return wtUnsupported;
    for (int i = 0; i < H.CoefCount; ++i)
      H.Coefs[i] = {static_cast<int16_t>(Le16(&Fmt[22 + 4 * i])), static_cast<int16_t>(Le16(&Fmt[24 + 4 * i]))};
  }
  return kind;
}

TWavHeader ScanChunks(Scanner& S, bool AppendScan) {
  TWavHeader h;
  uint8_t id[4];
  bool wide = false;
  uint64_t wideDataSize = 0;
  if (!ScanRiff(S, h, AppendScan, id, wide, wideDataSize)) return h;
  std::vector<uint8_t> fmt;
  uint32_t size = 0;
  if (!ReadFmt(S, h, id, fmt, size)) return h;
  const TWavType kind = TakeFormat(h, fmt, size, AppendScan);
  if (kind == wtUnsupported) return h;
  if (!S.Read(id, 4) || S.AtEnd()) {
    S.Ends("data");
    return h;
  }
  if (!S.FindChunk(id, "data")) return h;
  // A fact chunk, where there is one before the data; the reader checks it
  // against the data. Appending to IMA data updates it, so it must be there.
  h.FactCount = S.FactCount;
  h.FactOffset = S.FactOffset;
  if (AppendScan && kind == wtDVIADPCM && h.FactOffset < 0) return h;
  h.DataSizeOffset = S.Offset();
  uint32_t dataSize;
  if (!S.Read32(dataSize)) return h;
  h.DataSize = dataSize;
  h.DataOffset = S.Offset();
  if (wide && dataSize == 0xFFFFFFFF) h.DataSize = wideDataSize;
  // Streaming recorders leave the size at 0 or all ones: the data runs to the end.
  if (!AppendScan && (dataSize == 0 || dataSize == 0xFFFFFFFF) && (!wide || wideDataSize == 0) && S.Left() >= 0)
    h.DataSize = static_cast<uint64_t>(S.Left());
  h.Kind = kind;
  return h;
}

}  // namespace

TWavHeader ScanWavHeader(TStream& Source, bool AppendScan) {
  Scanner s(Source);
  TWavHeader h = ScanChunks(s, AppendScan);
  if (h.Kind == wtUnsupported && h.Refusal.empty()) h.Refusal = s.Reason;
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
