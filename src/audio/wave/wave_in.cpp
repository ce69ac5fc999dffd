#include "audio/wave/wave_in.h"

#include <algorithm>
#include <cstring>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_stream.h"
#include "audio/wave/g711.h"

namespace tonvale {

TWaveIn::TWaveIn(TAuComponent* Owner) : TAuFileIn(Owner) {}

TWaveIn::~TWaveIn() { BeforeDestruction(); }

bool TWaveIn::FloatSamples() {
  OpenSource();
  return FKind == wtPCM && Header.Float;
}

uint32_t TWaveIn::ChannelMask() {
  OpenSource();
  return FKind == wtPCM || FKind == wtALaw || FKind == wtMuLaw ? Header.ChannelMask : 0;
}

bool TWaveIn::ExactSize() {
  OpenSource();
  return FKind == wtPCM || FKind == wtALaw || FKind == wtMuLaw;
}

std::string TWaveIn::Refusal() {
  OpenSource();
  return FKind == wtUnsupported ? Header.Refusal : "";
}

namespace {

// The frames a short last block of Bytes bytes decodes to (none when it
// holds no more than its header).
int64_t PartBlockFrames(const TWavHeader& H, uint64_t Bytes) {
  const auto rest = static_cast<int64_t>(Bytes), ch = static_cast<int64_t>(H.Channels);
  if (H.Kind == wtDVIADPCM && rest > 4 * ch) return ch == 1 ? 1 + 2 * (rest - 4) : 1 + (rest - 8) / 8 * 8;
  if (H.Kind == wtMSADPCM && rest >= 7 * ch) return ch == 1 ? 2 + 2 * (rest - 7) : 2 + (rest - 14);
  return 0;
}

}  // namespace

void TWaveIn::TakeBlockLength(int BlockFrames) {
  const uint64_t bytes = Header.DataSize, blocks = bytes / Header.BlockAlign;
  const int64_t frames = static_cast<int64_t>(std::min<uint64_t>(blocks, INT64_MAX / 4 / 16384)) * BlockFrames +
                         std::min<int64_t>(PartBlockFrames(Header, bytes % Header.BlockAlign), BlockFrames);
  DataSize = frames * 2 * FChannels;
  TakeFactLength(frames, BlockFrames);
}

void TWaveIn::TakeFactLength(int64_t Frames, int BlockFrames) {
  // A fact count (0: left unfilled by a streaming writer) is the data's
  // frames less the padding of the last block; one outside that disagrees,
  // and the shorter length is taken.
  if (Header.FactOffset < 0 || Header.FactCount == 0) return;
  const int64_t fact = Header.FactCount;
  DataSize = std::min(fact, Frames) * 2 * FChannels;
  if (fact > Frames || fact <= Frames - BlockFrames)
    FNotes.push_back(
        {TAuWarning::LengthsDisagree, warnings::LengthsDisagree(static_cast<double>(fact) / FSampleRate,
                                                                static_cast<double>(Frames) / FSampleRate)});
}

bool TWaveIn::TakeHeader(const TWavHeader& H) {
  FChannels = H.Channels;
  FSampleRate = H.SampleRate;
  FBitsPerSample = H.BitsPerSample;
  Header = H;
  switch (H.Kind) {
    case wtPCM: DataSize = static_cast<int64_t>(std::min<uint64_t>(H.DataSize, INT64_MAX)); return true;
    case wtDVIADPCM: {
      const int ch = H.Channels;
      const int align = H.BlockAlign;
      // One or two channels; a block with data, laid out in whole groups, whose
      // PCM fits the decode buffer.
      if ((ch != 1 && ch != 2) || align <= 4 * ch || (ch == 2 && (align - 8) % 8 != 0) ||
          ImaBlockSamples(ch, align) * 2 * ch > static_cast<int>(kDecodeBufferSize))
        return false;
      FBitsPerSample = 16;
      TakeBlockLength(ImaBlockSamples(ch, align));
      return true;
    }
    case wtMSADPCM: {
      const int ch = H.Channels;
      const int spb = H.SamplesPerBlock;
      const int dataBytes = ch == 1 ? (spb - 2) / 2 : spb - 2;
      if ((ch != 1 && ch != 2) || spb < 2 || 7 * ch + dataBytes > H.BlockAlign ||
          spb * 2 * ch > static_cast<int>(kDecodeBufferSize))
        return false;
      FBitsPerSample = 16;
      TakeBlockLength(ch == 1 ? 2 + 2 * ((spb - 2) / 2) : spb);
      return true;
    }
    case wtALaw:
    case wtMuLaw:
      // A byte a sample, each expanded to 16 bits.
      if (H.Channels < 1 || H.BlockAlign != H.Channels) return false;
      FBitsPerSample = 16;
      DataSize = static_cast<int64_t>(std::min<uint64_t>(H.DataSize, INT64_MAX / 2) * 2);
      return true;
    default: return H.Kind == wtACM;
  }
}

void TWaveIn::OpenSource() {
  std::lock_guard lock(OpenLock);
  if (OpenCount != 0) return;
  FKind = wtUnsupported;
  Header = TWavHeader{};
  FNotes.clear();
  ForgetFormat();
  if (!DataStream) {
    DataStream = new TAuFileStream(FFileName, fmOpenRead | fmShareDenyWrite);
    ExternalStream = false;
  }
  TWavHeader h = ScanWavHeader(*DataStream);
  if (h.Kind != wtUnsupported && TakeHeader(h)) FKind = h.Kind;
  if (FKind == wtUnsupported) Header.Refusal = h.Refusal;
  if (FKind == wtUnsupported && h.Refusal.empty() && DataStream->Seek(0, TSeekOrigin::soBeginning) == 0) {
    uint8_t head[12] = {};
    const int64_t got = DataStream->Read(head, sizeof head);
    Header.Refusal = OtherFileType(head, static_cast<size_t>(std::max<int64_t>(got, 0)));
  }
  if (FKind == wtACM) {
    if (!OpenAcm()) {
      // The conversion failed: the file stays closed so the next query tries
      // again, and meanwhile reads as empty.
      Acm.reset();
      FKind = wtUnsupported;
      ForgetFormat();
      if (!ExternalStream)
        ReleaseStream();
      else
        DataStream->SetPosition(0);
      return;
    }
  } else if (FKind != wtUnsupported) {
    DataStream->SetPosition(Header.DataOffset);
  } else {
    DataSize = 0;
  }
  OpenCount = 1;
}

bool TWaveIn::OpenAcm() {
  Acm = std::make_unique<TWaveConverter>();
  TWaveFormatEx* source = Acm->SourceFormat();
  source->wFormatTag = Header.FormatTag;  // MPEG Layer-3 or GSM 6.10
  source->nChannels = Header.Channels;
  source->nSamplesPerSec = Header.SampleRate;
  source->nBlockAlign = Header.BlockAlign;
  source->wBitsPerSample = Header.BitsPerSample;
  TWaveFormatEx* dest = Acm->DestFormat();
  dest->wFormatTag = WAVE_FORMAT_PCM;
  if (acmFormatSuggest(nullptr, source, dest, TWaveConverter::kFormatBufferSize, ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
    return false;
  // The data runs to its stated size or to the end of the file, whichever
  // comes first; its PCM length is measured from the frames.
  const int64_t fileSize = DataStream->Size();
  uint64_t bytes = Header.DataSize;
  if (fileSize >= 0)
    bytes = std::min<uint64_t>(bytes, static_cast<uint64_t>(std::max<int64_t>(fileSize - Header.DataOffset, 0)));
  DataStream->SetPosition(Header.DataOffset);
  uint64_t pcm = 0;
  if (Acm->BeginStream(*DataStream, bytes, pcm) != 0) return false;
  FChannels = dest->nChannels;
  FSampleRate = dest->nSamplesPerSec;
  FBitsPerSample = dest->wBitsPerSample;
  DataSize = static_cast<int64_t>(pcm);
  // GSM 6.10 states its length in a fact chunk too (a block of 65 bytes is
  // 320 frames); MPEG data is measured only.
  if (Header.FormatTag == WAVE_FORMAT_GSM610 && FChannels > 0 && FBitsPerSample == 16) {
    const auto frames = static_cast<int64_t>(pcm / 2 / FChannels);
    TakeFactLength(frames, 320);
  }
  return true;
}

void TWaveIn::CloseSource() {
  std::lock_guard lock(OpenLock);
  if (OpenCount == 0) return;
  Acm.reset();
  if (!ExternalStream)
    ReleaseStream();
  else if (DataStream)
    DataStream->SetPosition(0);
  OpenCount = 0;
}

bool TWaveIn::SeekTo(int64_t& Sample) {
  BufferFirst = 1;
  BufferLast = 0;
  int64_t offset;
  switch (FKind) {
    case wtPCM: offset = Header.DataOffset + Sample * (FBitsPerSample / 8) * FChannels; break;
    case wtALaw:
    case wtMuLaw: offset = Header.DataOffset + Sample * FChannels; break;
    case wtDVIADPCM:
    case wtMSADPCM:
      // The start of the block that holds the frame.
      if (Header.SamplesPerBlock == 0) return false;
      offset = Header.DataOffset + (Sample / Header.SamplesPerBlock) * Header.BlockAlign;
      break;
    default: return false;
  }
  return DataStream->Seek(offset, TSeekOrigin::soBeginning) == offset;
}

bool TWaveIn::ReadBlock(uint16_t BlockAlign) {
  const int64_t size = DataStream->Size();
  const int64_t pos = DataStream->Position();
  if (size >= 0 && pos >= 0 && pos >= size) return false;
  BlockBuffer.assign(BlockAlign, 0);
  return DataStream->Read(BlockBuffer.data(), BlockAlign) > 0;
}

uint32_t TWaveIn::RefillIma() {
  if (!ReadBlock(Header.BlockAlign)) return 0;
  int frames = DecodeImaBlock(BlockBuffer.data(), static_cast<int>(FChannels), Header.BlockAlign,
                              reinterpret_cast<int16_t*>(DecodeBuffer));
  return static_cast<uint32_t>(frames) * 2 * FChannels;
}

uint32_t TWaveIn::RefillMs() {
  if (!ReadBlock(Header.BlockAlign)) return 0;
  int frames = DecodeMsBlock(BlockBuffer.data(), static_cast<int>(FChannels), Header.SamplesPerBlock,
                             Header.Coefs.data(), Header.CoefCount, reinterpret_cast<int16_t*>(DecodeBuffer));
  return static_cast<uint32_t>(frames) * 2 * FChannels;
}

void TWaveIn::SwapSamples(uint32_t Bytes) {
  const uint32_t width = FBitsPerSample / 8;
  for (uint32_t at = 0; width > 1 && at + width <= Bytes; at += width)
    std::reverse(DecodeBuffer + at, DecodeBuffer + at + width);
}

uint32_t TWaveIn::RefillG711() {
  const uint32_t frames = kDecodeBufferSize / 2 / FChannels;
  uint8_t* coded = DecodeBuffer + kDecodeBufferSize / 2;
  const auto got = static_cast<uint32_t>(std::max<int64_t>(DataStream->Read(coded, frames * FChannels), 0));
  const uint32_t samples = got - got % FChannels;
  // The codes are read into the buffer's second half, the samples fill the first.
  auto* pcm = reinterpret_cast<int16_t*>(DecodeBuffer);
  const std::array<int16_t, 256>& table = FKind == wtALaw ? ALawTable() : MuLawTable();
  for (uint32_t i = 0; i < samples; ++i) pcm[i] = table[coded[i]];
  return samples * 2;
}

void TWaveIn::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
  if (!Reading) throw EAuException("The Stream is not opened");
  if (BufferFirst > BufferLast) {
    BufferFirst = 1;
    switch (FKind) {
      case wtPCM: {
        const uint32_t want = FrameSize ? kDecodeBufferSize - kDecodeBufferSize % FrameSize : 0;
        BufferLast = static_cast<uint32_t>(DataStream->Read(DecodeBuffer, want));
        // A file cut inside a frame: the partial frame is not handed out.
        if (FrameSize) BufferLast -= BufferLast % FrameSize;
        if (Header.BigEndian) SwapSamples(BufferLast);
        break;
      }
      case wtDVIADPCM: BufferLast = RefillIma(); break;
      case wtMSADPCM: BufferLast = RefillMs(); break;
      case wtALaw:
      case wtMuLaw: BufferLast = RefillG711(); break;
      case wtACM: BufferLast = Acm ? Acm->ReadPcm(DecodeBuffer, kDecodeBufferSize) : 0; break;
      default: BufferLast = 0; break;
    }
  }
  if (FrameSize) Bytes -= Bytes % FrameSize;
  Bytes = std::min(Bytes, BufferLast + 1 - BufferFirst);
  Buffer = DecodeBuffer + BufferFirst - 1;
  BufferFirst += Bytes;
}

}  // namespace tonvale
