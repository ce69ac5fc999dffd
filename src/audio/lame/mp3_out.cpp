#include "audio/lame/mp3_out.h"

#include <algorithm>
#include <cstring>
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

void TMP3Out::Release() {
  if (Context) lame_close(Context);
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
  Context = lame_init();
  if (!Context) throw std::runtime_error("LAME init failed");
  const int64_t size = In->Size();
  if (size > 0) lame_set_num_samples(Context, static_cast<unsigned long>(size / ((InBits / 8) * InChannels)));
  const int rate = In->SampleRate();
  lame_set_in_samplerate(Context, rate);
  lame_set_num_channels(Context, 2);
  int outRate = FSampleRate == sr32kHz ? 32000 : FSampleRate == sr41kHz ? 44100 : FSampleRate == sr48kHz ? 48000 : 0;
  if (rate < 41000) outRate = 32000;
  lame_set_out_samplerate(Context, outRate);
  lame_set_mode(Context, InChannels == 1 ? 3 : FMode);
  lame_set_copyright(Context, FCopyright ? 1 : 0);
  lame_set_original(Context, FOriginal ? 1 : 0);
  lame_set_error_protection(Context, FCRC ? 1 : 0);
  if (!FEnableVBR) {
    lame_set_brate(Context, BitRateKbps(FBitRate));
    lame_set_quality(Context, FQuality);
  } else {
    // Asked for only when wanted; otherwise the library's default (the
    // header, which Finish completes) stays.
    if (FWriteVBRHeader) lame_set_bWriteVbrTag(Context, 1);
    lame_set_VBR(Context, 2);
    lame_set_VBR_q(Context, FVBRQuality);
    if (FVBRMaxBitrate < FVBRMinBitrate) std::swap(FVBRMinBitrate, FVBRMaxBitrate);
    lame_set_VBR_min_bitrate_kbps(Context, FVBRMinBitrate);
    lame_set_VBR_max_bitrate_kbps(Context, FVBRMaxBitrate);
  }
  if (lame_init_params(Context) == -1) throw std::runtime_error("LAME init failed");
  // Room for what one chunk can make, as the encoder asks (1.25 x samples +
  // 7200), counted in samples at the rate it encodes at: a source below
  // 32 kHz is resampled up, and gives that many times more MP3 bytes per
  // chunk. The most samples a chunk holds: 8-bit mono.
  const int64_t maxFrames = kChunkBytes / (InBits / 8 * InChannels) + 1;
  const int64_t encodedFrames = maxFrames * std::max(outRate, rate) / rate + 1;
  Mp3Buffer.assign(static_cast<size_t>(std::max<int64_t>(kMinMp3Buffer, encodedFrames * 5 / 4 + 7200)), 0);
}

int TMP3Out::ToStereo16(const uint8_t* Block, uint32_t Bytes) {
  const int width = InBits / 8;
  const int frames = static_cast<int>(Bytes / (width * InChannels));
  if (Converted && FloatInput) {
    // NaN and infinity would reach the converter as full-scale clicks: they
    // become silence, and what lies beyond full scale is clipped, as said.
    FloatBlock.assign(Block, Block + Bytes);
    if (ClipFloatSamples(FloatBlock.data(), Bytes / static_cast<uint32_t>(width), InBits))
      AddWarning(warnings::kSamplesClipped);
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
  uint8_t* block = nullptr;
  uint32_t bytes = kChunkBytes;
  Input()->GetData(block, bytes);
  if (bytes == 0 || !block) return false;
  int produced;
  if (InChannels == 2 && InBits == 16 && !Converted) {
    produced = lame_encode_buffer_interleaved(Context, reinterpret_cast<short*>(block), static_cast<int>(bytes / 4),
                                              Mp3Buffer.data(), static_cast<int>(Mp3Buffer.size()));
  } else {
    int frames = ToStereo16(block, bytes);
    produced = lame_encode_buffer_interleaved(Context, Stereo.data(), frames, Mp3Buffer.data(),
                                              static_cast<int>(Mp3Buffer.size()));
  }
  // An encoder error fails the run instead of leaving a shortened file that
  // looks complete.
  if (produced < 0) throw EAuException("MP3 encoding failed (LAME error " + std::to_string(produced) + ")");
  DataStream->Write(Mp3Buffer.data(), produced);
  if (produced > 0) NoteAudioWritten();
  return true;
}

void TMP3Out::Finish() {
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
  if (Context) lame_close(Context);
  Context = nullptr;
  DataStream.reset();
  Mp3Buffer.clear();
  Input()->EndRead();
  SettleOutputFile(!Interrupted());
}

}  // namespace tonvale
