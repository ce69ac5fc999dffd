// The reader's and writer's selection logic on a scripted runtime: what the
// FFmpeg runtime never produces (protected content, VBR and lossless formats,
// two audio outputs, a source that opens only from byte 30).

#include <gtest/gtest.h>

#include <cstring>

#include "audio/core/au_exception.h"
#include "audio/winmedia/wm_in.h"
#include "audio/winmedia/wma_writer.h"
#include "support/audio_fixtures.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

class Props : public IWMMediaProps {
 public:
  explicit Props(TWMMediaType T) : Type(std::move(T)) {}
  HRESULT GetMediaType(TWMMediaType* T, uint32_t* Size) override {
    if (T)
      *T = Type;
    else
      *Size = Type.ByteSize();
    return S_OK;
  }
  HRESULT SetMediaType(const TWMMediaType* T) override {
    Type = *T;
    return S_OK;
  }
  TWMMediaType Type;
};

TWaveFormatEx Wave(uint16_t Tag, uint16_t Channels, uint32_t Rate, uint16_t Bits) {
  TWaveFormatEx w{};
  w.wFormatTag = Tag;
  w.nChannels = Channels;
  w.nSamplesPerSec = Rate;
  w.wBitsPerSample = Bits;
  w.nBlockAlign = static_cast<uint16_t>(Channels * Bits / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * Rate;
  return w;
}

// What the scripted reader does.
struct ReaderScript {
  bool OpensOnlyAt30 = false;
  bool Protected = false;
  std::vector<TWaveFormatEx> AudioOutputs{Wave(1, 2, 44100, 16)};
  bool VideoFirst = false;
  bool HasDuration = true;
  uint64_t Duration = 10000000;  // 1 s
  int Samples = 10;              // samples of 4410 frames per output
  int64_t Counted = -1;          // the runtime's count of frames; -1: not counted
  std::vector<std::pair<std::u16string, std::vector<uint8_t>>> Attributes;
  // Observed.
  std::vector<uint64_t> Ranges;
  int OpenCalls = 0;
};
ReaderScript gReader;

class Header : public IWMHeaderInfo {
 public:
  HRESULT GetAttributeByName(uint16_t*, const std::u16string& Name, TWMTAttrDataType* Type, uint8_t* Value,
                             uint32_t* Length) override {
    if (Name == u"Duration") {
      if (!gReader.HasDuration) return ASF_E_NOTFOUND;
      *Type = WMT_TYPE_QWORD;
      if (Value) std::memcpy(Value, &gReader.Duration, 8);
      *Length = 8;
      return S_OK;
    }
    for (auto& [n, bytes] : gReader.Attributes) {
      if (n != Name) continue;
      *Type = WMT_TYPE_STRING;
      if (Value) std::memcpy(Value, bytes.data(), bytes.size());
      *Length = static_cast<uint32_t>(bytes.size());
      return S_OK;
    }
    return ASF_E_NOTFOUND;
  }
  HRESULT SetAttribute(uint16_t, const std::u16string&, TWMTAttrDataType, const uint8_t*, uint32_t) override {
    return E_NOTIMPL;
  }
};

class Reader : public IWMSyncReader {
 public:
  HRESULT OpenStream(const std::shared_ptr<IStream>& S) override {
    ++gReader.OpenCalls;
    uint64_t pos = 0;
    S->Seek(0, STREAM_SEEK_CUR, &pos);
    return gReader.OpensOnlyAt30 && pos != 30 ? E_FAIL : S_OK;
  }
  HRESULT GetOutputCount(uint32_t* N) override {
    *N = static_cast<uint32_t>(gReader.AudioOutputs.size() + (gReader.VideoFirst ? 1 : 0));
    return S_OK;
  }
  HRESULT GetOutputProps(uint32_t O, std::shared_ptr<IWMOutputMediaProps>* P) override {
    if (gReader.VideoFirst && O == 0) {
      TWMMediaType video;
      video.majortype = TMajorType::Video;
      *P = std::make_shared<Props>(video);
      return S_OK;
    }
    *P = std::make_shared<Props>(AudioWaveType(TSubtype::PCM, gReader.AudioOutputs[O - (gReader.VideoFirst ? 1 : 0)]));
    return S_OK;
  }
  HRESULT SetOutputProps(uint32_t, IWMOutputMediaProps*) override { return S_OK; }
  HRESULT GetStreamNumberForOutput(uint32_t O, uint16_t* S) override {
    *S = static_cast<uint16_t>(O + 1);
    return S_OK;
  }
  HRESULT SetReadStreamSamples(uint16_t, bool) override { return gReader.Protected ? NS_E_PROTECTED_CONTENT : S_OK; }
  HRESULT GetNextSample(uint16_t Stream, std::shared_ptr<INSSBuffer>* Sample, uint64_t*, uint64_t*, uint32_t*,
                        uint32_t*, uint16_t*) override {
    if (FHanded >= gReader.Samples) return NS_E_NO_MORE_SAMPLES;
    const auto& w = gReader.AudioOutputs[Stream - 1 - (gReader.VideoFirst ? 1 : 0)];
    auto s = std::make_shared<TMemorySample>(4410u * w.nBlockAlign);
    // Every byte tells the stream it came from.
    std::fill(s->Data().begin(), s->Data().end(), static_cast<uint8_t>(Stream));
    *Sample = s;
    ++FHanded;
    return S_OK;
  }
  HRESULT SetRange(uint64_t Start, int64_t) override {
    gReader.Ranges.push_back(Start);
    return S_OK;
  }
  HRESULT GetSampleCount(uint16_t, uint64_t* N) override {
    if (gReader.Counted < 0) return E_NOTIMPL;
    *N = static_cast<uint64_t>(gReader.Counted);
    return S_OK;
  }
  HRESULT Close() override { return S_OK; }
  std::shared_ptr<IWMHeaderInfo> HeaderInfo() override { return std::make_shared<Header>(); }

 private:
  int FHanded = 0;
};

// A codec of the scripted profile manager.
struct Format {
  TWaveFormatEx Wave;
  uint32_t Bitrate;
  uint32_t Quality;  // "_VBRQUALITY"
  bool Lossless;
};
struct Codec {
  std::vector<Format> Cbr, Vbr;
};
std::vector<Codec> gCodecs;

class Config : public IWMStreamConfig {
 public:
  explicit Config(const Format& Value) : F(Value) {}
  HRESULT GetMediaType(TWMMediaType* T, uint32_t* Size) override {
    TWMMediaType t = AudioWaveType(F.Lossless ? TSubtype::WMAudio_Lossless : TSubtype::WMAudioV8, F.Wave);
    if (T)
      *T = t;
    else
      *Size = t.ByteSize();
    return S_OK;
  }
  HRESULT SetMediaType(const TWMMediaType*) override { return S_OK; }
  HRESULT GetBitrate(uint32_t* B) override {
    *B = F.Bitrate;
    return S_OK;
  }
  HRESULT SetStreamNumber(uint16_t) override { return S_OK; }
  HRESULT SetStreamName(const std::u16string&) override { return S_OK; }
  HRESULT SetConnectionName(const std::u16string&) override { return S_OK; }
  Format F;
};

class Manager : public IWMProfileManager {
 public:
  HRESULT CreateEmptyProfile(uint32_t, std::shared_ptr<IWMProfile>*) override { return E_NOTIMPL; }
  HRESULT GetCodecInfoCount(TMajorType, uint32_t* N) override {
    *N = static_cast<uint32_t>(gCodecs.size());
    return S_OK;
  }
  HRESULT GetCodecName(TMajorType, uint32_t, char16_t*, uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetCodecFormatCount(TMajorType, uint32_t C, uint32_t* N) override {
    *N = static_cast<uint32_t>(List(C).size());
    return S_OK;
  }
  HRESULT GetCodecFormat(TMajorType, uint32_t C, uint32_t F, std::shared_ptr<IWMStreamConfig>* Out) override {
    if (F >= List(C).size()) return E_INVALIDARG;
    *Out = std::make_shared<Config>(List(C)[F]);
    return S_OK;
  }
  HRESULT GetCodecFormatDesc(TMajorType, uint32_t, uint32_t, std::shared_ptr<IWMStreamConfig>*, char16_t*,
                             uint32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT SetCodecEnumerationSetting(TMajorType, uint32_t C, const std::u16string&, TWMTAttrDataType, const uint8_t*,
                                     uint32_t) override {
    FVbr.resize(gCodecs.size());
    if (gCodecs[C].Vbr.empty()) return E_FAIL;
    FVbr[C] = true;
    return S_OK;
  }
  HRESULT GetCodecFormatProp(TMajorType, uint32_t C, uint32_t F, const std::u16string&, TWMTAttrDataType*,
                             uint8_t* Value, uint32_t*) override {
    if (List(C)[F].Quality == 0) return ASF_E_NOTFOUND;
    std::memcpy(Value, &List(C)[F].Quality, 4);
    return S_OK;
  }

 private:
  const std::vector<Format>& List(uint32_t C) {
    FVbr.resize(gCodecs.size());
    return FVbr[C] ? gCodecs[C].Vbr : gCodecs[C].Cbr;
  }
  std::vector<bool> FVbr;
};

struct ScriptedRuntime {
  TWMRuntime Saved;
  ScriptedRuntime() {
    gReader = ReaderScript{};
    gCodecs.clear();
    Saved = SetWMRuntime(TWMRuntime{[](std::shared_ptr<IWMSyncReader>* R) -> HRESULT {
                                      *R = std::make_shared<Reader>();
                                      return S_OK;
                                    },
                                    FFmpegRuntime().CreateWriter, FFmpegRuntime().CreateWriterFileSink,
                                    [](std::shared_ptr<IWMProfileManager>* M) -> HRESULT {
                                      *M = std::make_shared<Manager>();
                                      return S_OK;
                                    }});
  }
  ~ScriptedRuntime() { SetWMRuntime(Saved); }
};

std::vector<uint8_t> Utf16Z(const std::u16string& Text) {
  std::vector<uint8_t> b;
  for (char16_t c : Text) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  b.insert(b.end(), {0, 0});
  return b;
}

struct Source {
  TMemoryStream Stream{std::vector<uint8_t>(100, 0)};
  TWMIn In{nullptr};
  Source() { In.AttachStream(&Stream); }
};

}  // namespace

TEST(ScriptedReader, TheLastAudioOutputIsRead) {
  ScriptedRuntime rt;
  gReader.VideoFirst = true;
  gReader.AudioOutputs = {Wave(1, 2, 44100, 16), Wave(1, 1, 22050, 16)};
  gReader.Counted = 22050;
  Source s;
  EXPECT_EQ(s.In.Channels(), 1);
  EXPECT_EQ(s.In.SampleRate(), 22050);
  auto bytes = ReadAll(s.In);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.front(), 3) << "stream 3: the second audio output after the video one";
  // 1 s at 22050 Hz mono: 44100 bytes of the 10 x 8820 the stream holds.
  EXPECT_EQ(bytes.size(), 44100u);
}

TEST(ScriptedReader, WithoutADurationTheStreamIsReadToItsEnd) {
  ScriptedRuntime rt;
  gReader.HasDuration = false;
  Source s;
  EXPECT_EQ(s.In.SampleCount(), -1);
  EXPECT_EQ(ReadAll(s.In).size(), 10u * 4410 * 4);
}

TEST(ScriptedReader, TheLengthIsTheCountNotADurationAndAnImpossibleCountIsSetAside) {
  ScriptedRuntime rt;
  for (int64_t counted : {int64_t{22049}, int64_t{1} << 60}) {
    gReader.Counted = counted;
    Source s;
    EXPECT_EQ(ReadAll(s.In).size(), counted == 22049 ? 22049u * 4 : 10u * 4410 * 4) << "the whole stream";
  }
}

TEST(ScriptedReader, ProtectedContentIsRefused) {
  ScriptedRuntime rt;
  gReader.Protected = true;
  Source s;
  try {
    s.In.Id3v2Tags();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "File is protected");
  }
  EXPECT_THROW(s.In.Channels(), EAuException) << "still unopened: the next query tries again";
  EXPECT_TRUE(ReadAll(s.In).empty());
}

TEST(ScriptedReader, ASourceOpeningOnlyFromByte30IsRetried) {
  ScriptedRuntime rt;
  gReader.OpensOnlyAt30 = true;
  Source s;
  EXPECT_EQ(s.In.Channels(), 2);
  EXPECT_EQ(gReader.OpenCalls, 2);
}

TEST(ScriptedReader, AttributesEndAtTheirNullAndSeeksAreExactToTheSample) {
  ScriptedRuntime rt;
  gReader.Attributes = {{u"Title", Utf16Z(u"Hello")}, {u"WM/Genre", Utf16Z(u"Rock")}};
  gReader.Duration = 123456789;
  gReader.Counted = 544444;
  Source s;
  EXPECT_EQ(s.In.Id3v2Tags().Title(), u"Hello");
  EXPECT_EQ(s.In.Id3v2Tags().Genre(), u"Rock");
  EXPECT_EQ(s.In.Id3v2Tags().Artist(), u"");
  EXPECT_EQ(s.In.SampleCount(), 544444);
  s.In.SetStartSample(200000);
  s.In.BeginRead();
  s.In.EndRead();
  ASSERT_EQ(gReader.Ranges.size(), 1u);
  // 200000 / 44100 s in 100-ns units, rounded.
  EXPECT_EQ(gReader.Ranges[0], 45351474u);
}

TEST(ScriptedFormats, VbrQualitySearch) {
  ScriptedRuntime rt;
  auto f = [](uint16_t ch, uint32_t rate, uint32_t q) { return Format{Wave(0x161, ch, rate, 16), 0, q, false}; };
  gCodecs = {Codec{{}, {f(2, 44100, 10), f(1, 44100, 90), f(2, 48000, 50), f(2, 44100, 90), f(2, 44100, 98)}}};
  TWaveFormatEx wanted = Wave(1, 2, 44100, 16);
  std::shared_ptr<IWMStreamConfig> config;
  ASSERT_TRUE(WMAFindFormat(wanted, 90, false, true, config));
  TWMMediaType t;
  uint32_t size;
  config->GetMediaType(&t, &size);
  // Quality 10, then 90 (mono: only the fallback), 50 (not nearer, but the
  // mark stays: it competes on rate and loses to 44100), 90 (not nearer
  // than 90, mark kept, equal rate: replaces), 98 (likewise).
  EXPECT_EQ(t.Wave()->nChannels, 2);
  EXPECT_EQ(t.Wave()->nSamplesPerSec, 44100u);
  EXPECT_EQ(dynamic_cast<Config*>(config.get())->F.Quality, 98u);
}

TEST(ScriptedFormats, LosslessFallsBackToTheFirstLosslessFormat) {
  ScriptedRuntime rt;
  auto lossless = [](uint16_t ch, uint32_t rate) { return Format{Wave(0x163, ch, rate, 24), 0, 0, true}; };
  gCodecs = {Codec{{}, {Format{Wave(0x161, 2, 44100, 16), 0, 0, false}, lossless(2, 96000), lossless(1, 44100)}}};
  std::shared_ptr<IWMStreamConfig> config;
  ASSERT_TRUE(WMAFindFormat(Wave(1, 2, 44100, 16), 0, true, false, config));
  EXPECT_EQ(dynamic_cast<Config*>(config.get())->F.Wave.nSamplesPerSec, 96000u) << "first lossless met";
  gCodecs[0].Vbr.push_back(lossless(2, 48000));
  // Now one matches the wanted channels, but not the bits: still the fallback.
  ASSERT_TRUE(WMAFindFormat(Wave(1, 2, 44100, 16), 0, true, false, config));
  EXPECT_EQ(dynamic_cast<Config*>(config.get())->F.Wave.nSamplesPerSec, 96000u);
  ASSERT_TRUE(WMAFindFormat(Wave(1, 2, 44100, 24), 0, true, false, config));
  EXPECT_EQ(dynamic_cast<Config*>(config.get())->F.Wave.nSamplesPerSec, 48000u) << "nearest rate of the matching ones";
  gCodecs[0].Vbr.clear();
  EXPECT_FALSE(WMAFindFormat(Wave(1, 2, 44100, 16), 0, true, false, config)) << "no VBR list at all";
}
