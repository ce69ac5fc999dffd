#include "audio/lame/mp3_out.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "audio/core/au_exception.h"
#include "audio/wave/wave_in.h"
#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

// Encodes the WAV at Source into Mp3 with the given settings.
void Encode(const std::string& Source, const std::string& Mp3, const std::function<void(TMP3Out&)>& Setup = nullptr) {
  TWaveIn in(nullptr);
  in.SetFileName(Source);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  out.SetFileName(Mp3);
  if (Setup) Setup(out);
  ASSERT_TRUE(RunToEnd(out));
  ASSERT_EQ(out.ErrorMessage(), "");
}

bool HasVbrHeader(const std::string& Path) {
  auto b = ReadBytes(Path);
  std::string head(b.begin(), b.begin() + std::min<size_t>(b.size(), 200));
  return head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos;
}

}  // namespace

TEST(MP3Out, ConstantBitRatesMatchTheSource) {
  TempDir dir;
  const std::string wav = dir.File("src.wav");
  MakeAudio(wav, 4, 44100, 2, "-c:a pcm_s16le");
  auto source = FfmpegDecode(wav);
  for (auto [rate, kbps] : {std::pair{br128, 128}, std::pair{br320, 320}}) {
    const std::string mp3 = dir.File("out.mp3");
    Encode(wav, mp3, [&](TMP3Out& o) { o.SetBitRate(rate); });
    auto p = ProbeFields(mp3);
    EXPECT_EQ(p["codec_name"], "mp3");
    EXPECT_EQ(p["sample_rate"], "44100");
    EXPECT_EQ(p["channels"], "2");
    EXPECT_EQ(p["bit_rate"], std::to_string(kbps * 1000));
    // The container's duration counts the encoder's delay and padding frames;
    // the decode trims them (gapless figures in the Info frame) to within
    // one frame of the source.
    EXPECT_NEAR(std::stod(p["duration"]), 4.0, 3 * 1152.0 / 44100);
    auto decoded = FfmpegDecode(mp3);
    EXPECT_NEAR(double(decoded.size()), double(source.size()), 2 * 1152.0) << "one frame of two channels";
    EXPECT_GT(SnrDb(source, decoded), 15) << kbps << " kbit/s, aligned with its source";
  }
}

TEST(MP3Out, MonoInputAtLowRate) {
  TempDir dir;
  const std::string wav = dir.File("mono.wav"), mp3 = dir.File("mono.mp3");
  MakeAudio(wav, 3, 22050, 1, "-c:a pcm_s16le");
  Encode(wav, mp3, [](TMP3Out& o) {
    o.SetMode(DUAL_CHANNEL);  // a mono input is encoded in mode 3 whatever is set
    o.SetSampleRate(sr48kHz);
  });
  auto p = ProbeFields(mp3);
  EXPECT_EQ(p["sample_rate"], "32000") << "inputs below 41000 Hz go out at 32000 Hz";
  EXPECT_EQ(p["channels"], "1") << "mode 3: a mono stream";
  auto source = FfmpegDecode(wav, "");
  auto decoded = FfmpegDecode(mp3, "");
  std::string resampled = Shell("ffmpeg -v error -i " + Quote(mp3) + " -ar 22050 -f s16le -");
  auto back = AsSamples({resampled.begin(), resampled.end()});
  EXPECT_NEAR(double(back.size()), double(source.size()), 1152.0);
  EXPECT_GT(Correlation(source, back), 0.9);
}

TEST(MP3Out, VariableBitRateAndItsHeader) {
  TempDir dir;
  const std::string wav = dir.File("src.wav");
  MakeAudio(wav, 5, 44100, 2, "-c:a pcm_s16le");
  std::map<int, size_t> sizes;
  for (int quality : {2, 6}) {
    for (bool header : {false, true}) {
      const std::string mp3 = dir.File("vbr.mp3");
      Encode(wav, mp3, [&](TMP3Out& o) {
        o.SetEnableVBR(true);
        o.SetVBRQuality(static_cast<TMP3Quality>(quality));
        o.SetWriteVBRHeader(header);
        o.SetVBRMinBitrate(256);  // swapped bounds are put right
        o.SetVBRMaxBitrate(96);
      });
      // Without WriteVBRHeader the library's default, the header, stays.
      EXPECT_TRUE(HasVbrHeader(mp3)) << quality << header;
      auto p = ProbeFields(mp3);
      const double kbps = std::stod(p["bit_rate"]) / 1000;
      EXPECT_GE(kbps, 96 * 0.95) << quality << header;
      EXPECT_LE(kbps, 256 * 1.05) << quality << header;
      sizes[quality] = ReadBytes(mp3).size();
    }
  }
  EXPECT_GT(sizes[2], sizes[6]);
}

TEST(MP3Out, SwappedBoundsAreExchangedOnlyWithVbr) {
  TempDir dir;
  const std::string wav = dir.File("src.wav");
  MakeAudio(wav, 0.5, 44100, 2, "-c:a pcm_s16le");
  TWaveIn in(nullptr);
  in.SetFileName(wav);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  out.SetFileName(dir.File("o.mp3"));
  out.SetVBRMinBitrate(256);
  out.SetVBRMaxBitrate(128);
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.VBRMinBitrate(), 256);
  EXPECT_EQ(out.VBRMaxBitrate(), 128);
  out.SetEnableVBR(true);
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.VBRMinBitrate(), 128);
  EXPECT_EQ(out.VBRMaxBitrate(), 256);
}

TEST(MP3Out, OtherSampleWidthsSoundLikeTheir16BitEquivalent) {
  TempDir dir;
  const std::string ref = dir.File("16.wav");
  MakeAudio(ref, 2, 44100, 2, "-c:a pcm_s16le");
  Encode(ref, dir.File("16.mp3"));
  auto expected = FfmpegDecode(dir.File("16.mp3"));
  for (std::string codec : {"pcm_u8", "pcm_s24le", "pcm_s32le"}) {
    // ffmpeg writes 24 and 32 bits as an extensible WAV, which the reader
    // does not take: rewrite its format tag to plain PCM.
    const std::string wav = dir.File(codec + ".wav");
    Shell("ffmpeg -v error -y -i " + Quote(ref) + " -c:a " + codec + " -rf64 never " + Quote(wav));
    auto bytes = ReadBytes(wav);
    if (bytes[20] == 0xFE && bytes[21] == 0xFF) {
      bytes[20] = 1;
      bytes[21] = 0;
      WriteBytes(wav, bytes);
    }
    const std::string mp3 = dir.File(codec + ".mp3");
    Encode(wav, mp3);
    auto decoded = FfmpegDecode(mp3);
    EXPECT_GT(Correlation(expected, decoded), 0.98) << codec;
    EXPECT_NEAR(double(decoded.size()), double(expected.size()), 2304) << codec;
  }
}

TEST(MP3Out, LibraryBindingIsCountedAndNamed) {
  {
    TMP3Out first(nullptr);
    {
      TMP3Out second(nullptr);
      EXPECT_TRUE(LAMELoaded);
    }
    EXPECT_TRUE(LAMELoaded) << "the first output still holds the library";
    EXPECT_NE(LameEntry("lame_encode_buffer"), nullptr);
    EXPECT_EQ(LameEntry("no_such_entry"), nullptr);
  }
  EXPECT_FALSE(LAMELoaded);
  const std::string saved = LameLibraryName;
  LameLibraryName = "libnonexistent-lame.so.0";
  try {
    TMP3Out out(nullptr);
    ADD_FAILURE() << "constructed without a library";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "libnonexistent-lame.so.0 library could not be loaded.");
  }
  LameLibraryName = saved;
  TMP3Out again(nullptr);
  EXPECT_TRUE(LAMELoaded);
}

TEST(MP3Out, FailuresReleaseTheFileAndReportTheMessage) {
  TempDir dir;
  const std::string wav = dir.File("src.wav");
  MakeAudio(wav, 0.2, 44100, 2, "-c:a pcm_s16le");
  TWaveIn in(nullptr);
  in.SetFileName(wav);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.ErrorMessage(), "File name is not assigned.");
  out.SetFileName(dir.File("no/such/dir/x.mp3"));
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.ErrorMessage(), "Cannot create file " + dir.File("no/such/dir/x.mp3"));
}

// LAME encodes a source below 32 kHz at 32 kHz: a chunk of it made more MP3
// bytes than the buffer sized from its own samples held (LAME error -1).
TEST(MP3Out, LowRateSourcesOverflowedTheMp3Buffer) {
  TempDir dir;
  const std::string wav = dir.File("v.wav"), mp3 = dir.File("v.mp3"), kFrames = "20000";  // > a chunk of 8-bit mono
  for (int rate : {4000, 6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 37800, 44100, 48000})
    for (const std::string format : {"-c 1 -b 8", "-c 1 -b 16", "-c 2 -b 8", "-c 2 -b 16"}) {
      Shell("sox -r " + std::to_string(rate) + " -n " + format + " " + Quote(wav) + " synth " + kFrames +
            "s pinknoise");
      for (int kbps : {8, 128, 320, 0}) {  // 0: VBR from 8 to 320 kbit/s
        Encode(wav, mp3, [&](TMP3Out& o) {
          o.SetBitRate(kbps == 8 ? br8 : kbps == 128 ? br128 : br320);
          o.SetEnableVBR(kbps == 0), o.SetVBRMinBitrate(8), o.SetVBRMaxBitrate(320);
        });
        auto probe = ProbeFields(mp3);
        const double frames = double(FfmpegDecode(mp3).size()) / std::stoi(probe["channels"]),
                     expected = std::stod(kFrames) * std::stoi(probe["sample_rate"]) / rate;
        // 8 kbit/s frames have no room for the gapless figures (lame's neither).
        EXPECT_NEAR(frames, kbps == 8 ? expected + 1500 : expected, kbps == 8 ? 1500 : 1) << rate << format << kbps;
      }
    }
}
