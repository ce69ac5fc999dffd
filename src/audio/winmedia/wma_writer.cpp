#include "audio/winmedia/wma_writer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "platform/text.h"
#include "platform/wmf/stream_adapter.h"

namespace tonvale {
namespace {

constexpr uint32_t kTrue = 0xFFFFFFFF;

bool EnableVbr(IWMProfileManager& M, uint32_t Codec) {
  return M.SetCodecEnumerationSetting(TMajorType::Audio, Codec, u"_VBRENABLED", WMT_TYPE_BOOL,
                                      reinterpret_cast<const uint8_t*>(&kTrue), 4) == S_OK;
}

std::u16string Text(const std::vector<char16_t>& Buffer) {
  std::u16string s(Buffer.begin(), Buffer.end());
  return s.substr(0, s.find(u'\0'));
}

uint32_t Distance(int64_t A, int64_t B) { return static_cast<uint32_t>(std::llabs(static_cast<int32_t>(A - B))); }

bool MediaTypeOf(IWMMediaProps& Props, TWMMediaType& Type) {
  uint32_t size = 0;
  return Props.GetMediaType(nullptr, &size) == S_OK && Props.GetMediaType(&Type, &size) == S_OK;
}

// Adds the configured stream to a new profile, sets it on the writer and
// describes the input PCM.
void SetupStream(TWMAWriter& W, IWMProfileManager& Manager, IWMStreamConfig& Config, uint32_t Channels, uint32_t Bits,
                 uint32_t SampleRate) {
  std::shared_ptr<IWMProfile> profile;
  if (Manager.CreateEmptyProfile(WMT_VER_9_0, &profile) != S_OK || !profile) throw std::runtime_error("fff");
  Config.SetStreamNumber(1);
  Config.SetStreamName(u"AudioStream");
  Config.SetConnectionName(u"AudioConnection");
  if (profile->AddStream(&Config) != S_OK) throw std::runtime_error("fff");
  if (W.Writer->SetProfile(profile.get()) != S_OK) throw std::runtime_error("fff");
  uint32_t inputs = 0;
  W.Writer->GetInputCount(&inputs);
  for (uint32_t i = 0; i < inputs; ++i) {
    std::shared_ptr<IWMInputMediaProps> props;
    TWMMediaType type;
    if (W.Writer->GetInputProps(i, &props) != S_OK || !props || !MediaTypeOf(*props, type) || !type.IsWaveFormat())
      continue;
    // Float samples and more than two channels are described the extensible
    // way: valid bits, the speaker mask and the sub-format after the record.
    const bool extensible = W.FloatInput || W.ChannelMask != 0 || Channels > 2;
    if (extensible) type.Format.resize(sizeof(TWaveFormatEx) + 22, 0);
    TWaveFormatEx* w = type.Wave();
    w->wFormatTag = WAVE_FORMAT_PCM;
    if (extensible) {
      uint8_t* more = type.Format.data() + sizeof(TWaveFormatEx);
      w->wFormatTag = WAVE_FORMAT_EXTENSIBLE;
      w->cbSize = 22;
      more[0] = static_cast<uint8_t>(Bits), more[1] = static_cast<uint8_t>(Bits >> 8);
      for (int k = 0; k < 4; ++k) more[2 + k] = static_cast<uint8_t>(W.ChannelMask >> (8 * k));
      more[6] = W.FloatInput ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
      more[7] = 0;
      std::memcpy(more + 8, kSubformatGuidTail, sizeof kSubformatGuidTail);
    }
    w->nChannels = static_cast<uint16_t>(Channels);
    w->nSamplesPerSec = SampleRate;
    w->wBitsPerSample = static_cast<uint16_t>(Bits);
    w->nBlockAlign = static_cast<uint16_t>(Bits * Channels / 8);
    w->nAvgBytesPerSec = w->nBlockAlign * SampleRate;
    W.InputNumber = i;
    W.BytesPerSecond = w->nAvgBytesPerSec;
    props->SetMediaType(&type);
    if (W.Writer->SetInputProps(i, props.get()) == S_OK) W.Configured = true;
    return;
  }
}

}  // namespace

void WMAListCodecs(std::vector<std::string>& List) {
  std::shared_ptr<IWMProfileManager> m;
  if (WMCreateProfileManager(&m) != S_OK || !m) return;
  uint32_t count = 0;
  m->GetCodecInfoCount(TMajorType::Audio, &count);
  for (uint32_t c = 0; c < count; ++c) {
    uint32_t length = 0;
    if (m->GetCodecName(TMajorType::Audio, c, nullptr, &length) != S_OK) continue;
    std::vector<char16_t> name(length + 1, u'\0');
    if (m->GetCodecName(TMajorType::Audio, c, name.data(), &length) == S_OK) List.push_back(Utf16ToUtf8(Text(name)));
  }
}

void WMAListFormats(uint32_t Codec, bool VBR, std::vector<std::string>& List) {
  std::shared_ptr<IWMProfileManager> m;
  if (WMCreateProfileManager(&m) != S_OK || !m) return;
  uint32_t count = 0;
  if (m->GetCodecInfoCount(TMajorType::Audio, &count) != S_OK || Codec >= count) return;
  if (VBR && !EnableVbr(*m, Codec)) return;
  uint32_t formats = 0;
  m->GetCodecFormatCount(TMajorType::Audio, Codec, &formats);
  for (uint32_t f = 0; f < formats; ++f) {
    uint32_t length = 0;
    std::shared_ptr<IWMStreamConfig> config;
    if (m->GetCodecFormatDesc(TMajorType::Audio, Codec, f, &config, nullptr, &length) != S_OK) continue;
    std::vector<char16_t> desc(length + 1, u'\0');
    if (m->GetCodecFormatDesc(TMajorType::Audio, Codec, f, &config, desc.data(), &length) == S_OK)
      List.push_back(Utf16ToUtf8(Text(desc)));
  }
}

void WMAWriterCreate(TWMAWriter& W, const std::u16string& FileName) {
  WMAWriterCreateOn(W, [&] { return W.Sink->Open(FileName); });
}

void WMAWriterCreate(TWMAWriter& W, TStream* Destination) {
  WMAWriterCreateOn(W, [&] { return W.Sink->OpenStream(std::make_shared<TStreamAdapter>(Destination)); });
}

void WMAWriterCreateOn(TWMAWriter& W, const std::function<HRESULT()>& OpenSink) {
  W = TWMAWriter{};
  if (WMCreateWriterFileSink(&W.Sink) != S_OK || !W.Sink) {
    W.Sink.reset();
    return;
  }
  if (WMCreateWriter(nullptr, &W.Writer) != S_OK || !W.Writer) {
    W = TWMAWriter{};
    return;
  }
  if (W.Writer->AddSink(W.Sink) != S_OK || OpenSink() != S_OK) {
    W = TWMAWriter{};
    return;
  }
  W.Ready = true;
}

void WMAWriterSetupByIndex(TWMAWriter& W, uint32_t Channels, uint32_t Bits, uint32_t FormatIndex, uint32_t CodecIndex,
                           bool VBR, uint32_t SampleRate) {
  std::shared_ptr<IWMProfileManager> m;
  if (WMCreateProfileManager(&m) != S_OK || !m) return;
  uint32_t count = 0;
  if (m->GetCodecInfoCount(TMajorType::Audio, &count) != S_OK || CodecIndex >= count) return;
  if (VBR && !EnableVbr(*m, CodecIndex)) return;
  std::shared_ptr<IWMStreamConfig> config;
  if (m->GetCodecFormat(TMajorType::Audio, CodecIndex, FormatIndex, &config) != S_OK || !config) return;
  SetupStream(W, *m, *config, Channels, Bits, SampleRate);
}

void WMAWriterSetupByTarget(TWMAWriter& W, uint32_t Channels, uint32_t Bits, uint32_t Target, bool VBR, bool Lossless,
                            uint32_t SampleRate) {
  if (!VBR && Target < 1000) Target *= 1000;
  TWaveFormatEx wanted{};
  wanted.wFormatTag = WAVE_FORMAT_PCM;
  wanted.nChannels = static_cast<uint16_t>(Channels);
  wanted.nSamplesPerSec = SampleRate;
  wanted.wBitsPerSample = static_cast<uint16_t>(Bits);
  std::shared_ptr<IWMStreamConfig> config;
  if (!WMAFindFormat(wanted, Target, Lossless, VBR, config)) throw std::runtime_error("Failed to init codec");
  std::shared_ptr<IWMProfileManager> m;
  if (WMCreateProfileManager(&m) != S_OK || !m) throw std::runtime_error("Failed to init codec");
  SetupStream(W, *m, *config, Channels, Bits, SampleRate);
}

bool WMAFindFormat(const TWaveFormatEx& Wanted, uint32_t Target, bool Lossless, bool VBR,
                   std::shared_ptr<IWMStreamConfig>& Config) {
  std::shared_ptr<IWMProfileManager> m;
  if (WMCreateProfileManager(&m) != S_OK || !m) return false;
  std::shared_ptr<IWMStreamConfig> best;
  bool candidate = false;
  uint32_t bestQuality = 0, currentBitrate = 0, bestBitrate = 0, bestRate = 0, quality = 0;
  uint32_t codecs = 0;
  m->GetCodecInfoCount(TMajorType::Audio, &codecs);
  for (uint32_t c = 0; c < codecs; ++c) {
    if ((Lossless || VBR) && !EnableVbr(*m, c)) continue;
    uint32_t formats = 0;
    m->GetCodecFormatCount(TMajorType::Audio, c, &formats);
    for (uint32_t f = 0; f < formats; ++f) {
      std::shared_ptr<IWMStreamConfig> config;
      if (m->GetCodecFormat(TMajorType::Audio, c, f, &config) != S_OK || !config) break;
      TWMMediaType type;
      if (!MediaTypeOf(*config, type) || !type.IsWaveFormat()) continue;
      const TWaveFormatEx& format = *type.Wave();
      if (Lossless) {
        candidate = type.subtype == TSubtype::WMAudio_Lossless;
      } else if (VBR) {
        uint32_t q = quality, size = 4;
        TWMTAttrDataType attr;
        if (m->GetCodecFormatProp(TMajorType::Audio, c, f, u"_VBRQUALITY", &attr, reinterpret_cast<uint8_t*>(&q),
                                  &size) == S_OK)
          quality = q;
        // A format nearer in quality marks itself; the mark stays for the
        // formats after it, which then compete on sample rate.
        if (Distance(Target, quality) < Distance(Target, bestQuality)) {
          bestQuality = quality;
          candidate = true;
        }
      } else {
        config->GetBitrate(&currentBitrate);
        candidate = Distance(currentBitrate, Target) < Distance(bestBitrate, Target);
      }
      if (!candidate) continue;
      if ((Lossless || VBR) && !best) best = config;
      if (format.nChannels == Wanted.nChannels && format.wBitsPerSample == Wanted.wBitsPerSample &&
          Distance(format.nSamplesPerSec, Wanted.nSamplesPerSec) <= Distance(bestRate, Wanted.nSamplesPerSec)) {
        bestBitrate = currentBitrate;
        bestRate = format.nSamplesPerSec;
        best = config;
      }
    }
  }
  if (!best) return false;
  Config = best;
  return true;
}

void WMAWriterSetTag(TWMAWriter& W, const std::u16string& Name, const std::u16string& Text) {
  auto header = W.Writer ? W.Writer->HeaderInfo() : nullptr;
  if (!header) return;
  std::vector<uint8_t> bytes;
  for (char16_t c : Text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  header->SetAttribute(0, Name, WMT_TYPE_STRING, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void WMAWriterSetBytes(TWMAWriter& W, const std::u16string& Name, const std::string& Bytes) {
  auto header = W.Writer ? W.Writer->HeaderInfo() : nullptr;
  if (header)
    header->SetAttribute(0, Name, WMT_TYPE_BINARY, reinterpret_cast<const uint8_t*>(Bytes.data()),
                         static_cast<uint32_t>(Bytes.size()));
}

bool WMAWriterBegin(TWMAWriter& W) {
  W.Time = 0;
  return W.Writer && W.Writer->BeginWriting() == S_OK;
}

bool WMAWriterWrite(TWMAWriter& W, const uint8_t* Data, uint32_t Count) {
  if (!W.Writer || W.Writer->AllocateSample(Count, &W.Sample) != S_OK || !W.Sample) return false;
  uint8_t* buffer = nullptr;
  W.Sample->GetBuffer(&buffer);
  if (Count) std::memcpy(buffer, Data, Count);
  W.Sample->SetLength(Count);
  if (W.BytesPerSecond) W.Time += std::llround(Count / static_cast<double>(W.BytesPerSecond) / 0.0000001);
  bool ok = W.Writer->WriteSample(W.InputNumber, static_cast<uint64_t>(W.Time), 0, W.Sample.get()) == S_OK;
  W.Sample.reset();
  return ok;
}

bool WMAWriterEnd(TWMAWriter& W) {
  bool ok = W.Writer && W.Writer->EndWriting() == S_OK;
  WMAWriterRelease(W);
  return ok;
}

void WMAWriterRelease(TWMAWriter& W) {
  W.Sample.reset();
  W.Writer.reset();
  W.Sink.reset();
  W.Ready = false;
}

}  // namespace tonvale
