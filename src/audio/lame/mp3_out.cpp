#include "audio/lame/mp3_out.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_stream.h"
#include "audio/core/au_input.h"
#include "audio/core/au_warnings.h"
#include "platform/float_samples.h"

namespace tonvale {
namespace {

constexpr uint32_t kChunkBytes = 16384;
constexpr int kMinMp3Buffer = 17440;

constexpr int kBitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};

}  // namespace

int BitRateKbps(TMP3BitRate Rate) { return kBitRates[Rate]; }

TMP3Out::TMP3Out(TAuComponent* Owner) : TAuTaggedFileOut(Owner) {
  LoadLAME();
  FBound = LAMELoaded;
  if (!FBound) throw EAuException(LameLibraryName + " library could not be loaded.");
}

TMP3Out::~TMP3Out() {
  BeforeDestruction();
  Release();
  if (FBound) UnloadLAME();
}

void TMP3Out::CloseEncoder(lame_t Context) {
  std::lock_guard lock(LameSetupLock());
  lame_close(Context);
}

void TMP3Out::SetSegmented(std::unique_ptr<TMp3SegmentRun> Run) {
  {
    std::lock_guard lock(FSegmentedLock);
    Segmented.swap(Run);
  }
}

bool TMP3Out::LendWorker() {
  std::lock_guard lock(FSegmentedLock);
  return Segmented && Segmented->AddWorker();
}

void TMP3Out::Release() {
  SetSegmented(nullptr);
  FallbackSource.reset();
  if (Context) CloseEncoder(Context);
  Context = nullptr;
  DataStream.reset();
}

void TMP3Out::Prepare() {
  Release();
  if (FFileName.empty()) throw EAuException("File name is not assigned.");
  TAuInput* in = Input();
  in->BeginRead();
  try {
    Configure(in);
    DataStream = CreateOutputFile();
    if (!LeadingTag.empty()) DataStream->Write(LeadingTag.data(), static_cast<int64_t>(LeadingTag.size()));
    StartSegments(in);
  } catch (...) {
    Release();
    DiscardOutputFile();
    in->EndRead();
    throw;
  }
}

void TMP3Out::AbandonRun() {
  const bool open = DataStream != nullptr;
  Release();
  if (open) SettleOutputFile(false);
}

void TMP3Out::Configure(TAuInput* In) {
  InChannels = In->Channels();
  InBits = In->BitsPerSample();
  const bool isFloat = In->FloatSamples();
  FloatInput = isFloat;
  if (InChannels < 1 ||
      (isFloat ? InBits != 32 && InBits != 64 : InBits != 8 && InBits != 16 && InBits != 24 && InBits != 32))
    throw EAuException("Cannot encode " + std::to_string(InBits) + " bit sound into MP3.");
  // 8- and 16-bit mono and stereo take the direct path; every other kind is
  // converted (down-mixed, dithered, clipped) by the sample converter.
  Converted = isFloat || InBits > 16 || InChannels > 2;
  if (Converted && !Converter.Open(InBits, isFloat, InChannels, In->ChannelMask(), In->SampleRate(), 2))
    throw EAuException("Cannot encode this sound into MP3.");
  CheckSourceRate(In->SampleRate());
  if (FEnableVBR && FVBRMaxBitrate < FVBRMinBitrate) std::swap(FVBRMinBitrate, FVBRMaxBitrate);
  const int64_t size = In->Size();
  const int rate = In->SampleRate();
  Context = NewEncoder(rate, size > 0 ? size / ((InBits / 8) * InChannels) : 0);
  if (!Context) throw std::runtime_error("LAME init failed");
  // Room for what one chunk can make, as the encoder asks (1.25 x samples +
  // 7200), counted in samples at the rate it encodes at: a source below
  // 32 kHz is resampled up (never beyond 48 kHz), and gives that many times
  // more MP3 bytes per chunk. The most samples a chunk holds: 8-bit mono.
  const int64_t maxFrames = kChunkBytes / (InBits / 8 * InChannels) + 1;
  const int64_t encodedFrames = maxFrames * std::max(48000, rate) / rate + 1;
  Mp3Buffer.assign(static_cast<size_t>(std::max<int64_t>(kMinMp3Buffer, encodedFrames * 5 / 4 + 7200)), 0);
}

lame_t TMP3Out::NewEncoder(int Rate, int64_t Samples) const {
  lame_t context;
  {
    std::lock_guard lock(LameSetupLock());
    context = lame_init();
  }
  if (!context) return nullptr;
  if (Samples > 0) lame_set_num_samples(context, static_cast<unsigned long>(Samples));
  lame_set_in_samplerate(context, Rate);
  lame_set_num_channels(context, 2);
  int outRate = FSampleRate == sr32kHz ? 32000 : FSampleRate == sr41kHz ? 44100 : FSampleRate == sr48kHz ? 48000 : 0;
  if (Rate < 41000) outRate = 32000;
  lame_set_out_samplerate(context, outRate);
  lame_set_mode(context, InChannels == 1 ? 3 : FMode);
  lame_set_copyright(context, FCopyright ? 1 : 0);
  lame_set_original(context, FOriginal ? 1 : 0);
  lame_set_error_protection(context, FCRC ? 1 : 0);
  if (!FEnableVBR) {
    lame_set_brate(context, BitRateKbps(FBitRate));
    lame_set_quality(context, FQuality);
  } else {
    // Asked for only when wanted; otherwise the library's default (the
    // header, which Finish completes) stays.
    if (FWriteVBRHeader) lame_set_bWriteVbrTag(context, 1);
    lame_set_VBR(context, 2);
    lame_set_VBR_q(context, FVBRQuality);
    lame_set_VBR_min_bitrate_kbps(context, FVBRMinBitrate);
    lame_set_VBR_max_bitrate_kbps(context, FVBRMaxBitrate);
  }
  int result;
  {
    std::lock_guard lock(LameSetupLock());
    result = lame_init_params(context);
  }
  if (result == -1) {
    CloseEncoder(context);
    return nullptr;
  }
  return context;
}

void TMP3Out::StartSegments(TAuInput* In) {
  FLastSegments = 1;
  FWorkers = 1;
  FFellBack = false;
  FSegmentCpu = 0;
  FRaised = 0;
  const int lanes = std::max(SegmentLanes, SegmentPlanLanes);
  if (lanes < 2 || !SegmentSource || !lame_get_lametag_frame || !lame_get_bWriteVbrTag(Context) ||
      (FMode != STEREO && FMode != JOINT_STEREO) || FCRC || Converted || InChannels != 2 || InBits != 16)
    return;
  // Only MPEG-1 output at the source's own rate: LAME cannot be cut
  // anywhere else on the frame grid.
  const int rate = In->SampleRate();
  auto outRate = reinterpret_cast<int (*)(lame_t)>(LameEntry("lame_get_out_samplerate"));
  auto kbps = reinterpret_cast<int (*)(lame_t)>(LameEntry("lame_get_brate"));
  if (!outRate || !kbps || outRate(Context) != rate || (rate != 32000 && rate != 44100 && rate != 48000)) return;
  // VBR frames have no padding period.
  const int period = FEnableVBR ? 1 : Mp3PaddingPeriod(kbps(Context), rate);
  const int64_t samples = In->Size() / 4, minute = 60LL * rate;
  // A segment lasts a minute at least, and four at most, which bounds the
  // encoded data waiting to be joined.
  const auto planned = static_cast<int>(std::min<int64_t>(lanes, samples / minute));
  if (samples < 2 * minute || planned < 2) return;
  // Every worker gets as many segments: 3 segments on 2 workers would
  // leave one idle for the last third.
  const int64_t rounds = (samples + 4 * minute * planned - 1) / (4 * minute * planned);
  const auto count = static_cast<int>(rounds * planned);
  auto run = std::make_unique<TMp3SegmentRun>([this, rate](int64_t N) { return NewEncoder(rate, N); }, SegmentSource,
                                              samples, std::clamp(SegmentLanes, 1, planned),
                                              PlanMp3Segments(samples, count, period), FEnableVBR);
  run->Start();
  SetSegmented(std::move(run));
  FLastSegments = count;
}

bool TMP3Out::ReadInputTo(int64_t Position) {
  TAuInput* in = Input();
  while (in->Position() < Position) {
    uint8_t* block = nullptr;
    auto bytes = static_cast<uint32_t>(std::min<int64_t>(kChunkBytes, Position - in->Position()));
    in->GetData(block, bytes);
    if (bytes == 0 || !block) return false;
  }
  return true;
}

bool TMP3Out::SegmentedChunk() {
  // The input is read as far as the segments have encoded, so the progress
  // is theirs and a short source is noted as with one pass.
  const TMp3SegmentRun::TState state = Segmented->Step(*DataStream, 50);
  if (Segmented->Frames() > 0) NoteAudioWritten();
  if (state == TMp3SegmentRun::sFailed) {
    FallBack();
    return true;
  }
  if (state == TMp3SegmentRun::sRunning) {
    ReadInputTo(Segmented->SamplesDone() * 4);
    return true;
  }
  return ReadInputTo(std::numeric_limits<int64_t>::max());
}

void TMP3Out::FallBack() {
  SetSegmented(nullptr);
  FLastSegments = 1;
  FFellBack = true;
  const auto start = static_cast<int64_t>(LeadingTag.size());
  DataStream->Seek(start, TSeekOrigin::soBeginning);
  DataStream->SetSize(start);
  FallbackSource = SegmentSource();
  if (!FallbackSource) throw EAuException("MP3 encoding failed");
  FallbackSource->BeginRead();
}

int TMP3Out::ToStereo16(const uint8_t* Block, uint32_t Bytes) {
  const int width = InBits / 8;
  const int frames = static_cast<int>(Bytes / (width * InChannels));
  if (Converted && FloatInput) {
    // NaN and infinity would reach the converter as full-scale clicks: they
    // become silence, and what lies beyond full scale is clipped, as said.
    FloatBlock.assign(Block, Block + Bytes);
    if (ClipFloatSamples(FloatBlock.data(), Bytes / static_cast<uint32_t>(width), InBits))
      AddWarning(TAuWarning::SamplesClipped, warnings::kSamplesClipped);
    return Converter.Convert(FloatBlock.data(), frames, Stereo);
  }
  if (Converted) return Converter.Convert(Block, frames, Stereo);
  Stereo.resize(static_cast<size_t>(frames) * 2);
  auto sample = [&](const uint8_t* p) -> int {
    return width == 1 ? (p[0] - 128) * 256 : static_cast<int16_t>(p[0] | (p[1] << 8));
  };
  const uint8_t* p = Block;
  for (int f = 0; f < frames; ++f, p += width * InChannels) {
    const int left = sample(p);
    const int right = InChannels > 1 ? sample(p + width) : left;
    Stereo[2 * f] = static_cast<int16_t>(left);
    Stereo[2 * f + 1] = static_cast<int16_t>(right);
  }
  return frames;
}

bool TMP3Out::OutputChunk(bool Abort) {
  if (!OutputEnabled) return true;
  if (Abort) return false;
  if (Segmented) return SegmentedChunk();
  uint8_t* block = nullptr;
  uint32_t bytes = kChunkBytes;
  if (FallbackSource) {
    FallbackSource->GetData(block, bytes);
    if (bytes == 0 || !block) return ReadInputTo(std::numeric_limits<int64_t>::max());
    EncodeBlock(block, bytes);
    ReadInputTo(FallbackSource->Position());
    return true;
  }
  Input()->GetData(block, bytes);
  if (bytes == 0 || !block) return false;
  EncodeBlock(block, bytes);
  return true;
}

void TMP3Out::EncodeBlock(uint8_t* Block, uint32_t Bytes) {
  int produced;
  if (InChannels == 2 && InBits == 16 && !Converted) {
    produced = lame_encode_buffer_interleaved(Context, reinterpret_cast<short*>(Block), static_cast<int>(Bytes / 4),
                                              Mp3Buffer.data(), static_cast<int>(Mp3Buffer.size()));
  } else {
    int frames = ToStereo16(Block, Bytes);
    produced = lame_encode_buffer_interleaved(Context, Stereo.data(), frames, Mp3Buffer.data(),
                                              static_cast<int>(Mp3Buffer.size()));
  }
  // An encoder error fails the run instead of leaving a shortened file that
  // looks complete.
  if (produced < 0) throw EAuException("MP3 encoding failed (LAME error " + std::to_string(produced) + ")");
  DataStream->Write(Mp3Buffer.data(), produced);
  if (produced > 0) NoteAudioWritten();
}

void TMP3Out::Finish() {
  if (Segmented) {
    // A stop ends every segment's encoder; what was joined stays, its tag
    // stating it.
    Segmented->Abort();
    const bool tagged = Segmented->Complete(*DataStream, static_cast<int64_t>(LeadingTag.size()));
    if (Segmented->Frames() > 0) NoteAudioWritten();
    // The file is settled as a failed run's is.
    if (!tagged) throw EAuException("MP3 encoding failed");
    FSegmentCpu = Segmented->CpuSeconds();
    FRaised = Segmented->Raised();
    FWorkers = Segmented->WorkersTookPart();
    SetSegmented(nullptr);
    CloseEncoder(Context);
    Context = nullptr;
    DataStream.reset();
    Mp3Buffer.clear();
    Input()->EndRead();
    SettleOutputFile(!Interrupted());
    return;
  }
  if (FallbackSource) {
    FallbackSource->EndRead();
    FallbackSource.reset();
  }
  id3tag_init(Context);
  int produced = lame_encode_flush(Context, Mp3Buffer.data(), static_cast<int>(Mp3Buffer.size()));
  if (produced > 0) {
    DataStream->Write(Mp3Buffer.data(), produced);
    NoteAudioWritten();
  }
  // Complete the header frame the encoder reserved at the start (the VBR or
  // Info frame with the length and the gapless figures).
  if (lame_get_lametag_frame && lame_get_bWriteVbrTag(Context)) {
    size_t n = lame_get_lametag_frame(Context, Mp3Buffer.data(), Mp3Buffer.size());
    const auto first = static_cast<int64_t>(LeadingTag.size());
    if (n > 0 && n <= Mp3Buffer.size() && DataStream->Seek(first, TSeekOrigin::soBeginning) == first)
      DataStream->Write(Mp3Buffer.data(), static_cast<int64_t>(n));
  }
  if (Context) CloseEncoder(Context);
  Context = nullptr;
  DataStream.reset();
  Mp3Buffer.clear();
  Input()->EndRead();
  SettleOutputFile(!Interrupted());
}

}  // namespace tonvale
