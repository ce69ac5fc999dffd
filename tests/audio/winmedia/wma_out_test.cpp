#include "audio/winmedia/wma_out.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "audio/wave/wave_in.h"
#include "audio/winmedia/wm_in.h"
#include "support/audio_fixtures.h"
#include "support/memory_in.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

// Encodes the WAV at Source into Wma.
std::string Encode(const std::string& Source, const std::string& Wma, const std::function<void(TWMAOut&)>& Setup) {
  TWaveIn in(nullptr);
  in.SetFileName(Source);
  TWMAOut out(nullptr);
  out.SetInput(&in);
  out.SetFileName(Wma);
  Setup(out);
  EXPECT_TRUE(RunToEnd(out));
  return out.ErrorMessage();
}

}  // namespace

TEST(WMAOut, CodecAndFormatLists) {
  TWMAOut out(nullptr);
  EXPECT_EQ(out.Codecs(), std::vector<std::string>({"Windows Media Audio 2", "Windows Media Audio 1"}));
  auto formats = out.Formats(0);
  ASSERT_EQ(formats.size(), 168u);
  EXPECT_EQ(formats[29], "128 kbps, 44 kHz, stereo CBR");
  EXPECT_EQ(formats[0], "320 kbps, 48 kHz, stereo CBR");
  EXPECT_EQ(formats[167], "24 kbps, 8 kHz, mono CBR");
  EXPECT_EQ(out.Formats(1).size(), 168u);
  EXPECT_TRUE(out.Formats(2).empty());
  out.SetVBR(true);
  EXPECT_TRUE(out.Formats(0).empty()) << "no VBR formats";
  out.SetVBR(false);
  out.SetLossless(true);
  EXPECT_TRUE(out.Formats(0).empty());
}

TEST(WMAOut, WritesWhatPeersRead) {
  TempDir dir;
  const std::string wav = dir.File("src.wav");
  MakeAudio(wav, 3, 44100, 2, "-c:a pcm_s16le");
  auto source = FfmpegDecode(wav);
  for (int codec : {0, 1}) {
    const std::string wma = dir.File("out.wma");
    std::string error = Encode(wav, wma, [&](TWMAOut& o) {
      o.CodecIndex = codec;
      o.FormatIndex = 29;
      o.Id3v2Tags().SetTitle(u"T\u00eftle");
      o.Id3v2Tags().SetArtist(u"Art");
      o.Id3v2Tags().SetAlbum(u"Alb");
      o.Id3v2Tags().SetGenre(u"Jazz");
      o.Id3v2Tags().SetYear(u"2020");
      o.Id3v2Tags().SetTrack(u"4");
      o.Id3v2Tags().SetComment(u"(c)");
    });
    ASSERT_EQ(error, "");
    auto p = ProbeFields(wma);
    EXPECT_EQ(p["format_name"], "asf");
    EXPECT_EQ(p["codec_name"], codec == 0 ? "wmav2" : "wmav1");
    EXPECT_EQ(p["sample_rate"], "44100");
    EXPECT_EQ(p["channels"], "2");
    EXPECT_EQ(p["bit_rate"], "128000");
    EXPECT_NEAR(std::stod(p["duration"]), 3.0, 2048.0 / 44100) << "within one codec frame";
    auto decoded = FfmpegDecode(wma);
    EXPECT_NEAR(double(decoded.size()), double(source.size()), 2 * 2048.0) << "within one codec frame";
    EXPECT_GT(Correlation(source, decoded), 0.9) << "aligned with its source";
    auto tags = Python(
        "from mutagen.asf import ASF\n"
        "t = ASF('" +
        wma +
        "')\n"
        "for k in sorted(t.keys()):\n"
        "    v = sorted(set(str(v) for v in t[k]) - {''})\n"
        "    if v: print(k, '=', '|'.join(v), sep='')\n");
    EXPECT_EQ(std::count(tags.begin(), tags.end(), '\n'), 7) << "the seven attributes, each with one value:\n" << tags;
    EXPECT_NE(tags.find("Title=T\xC3\xAFtle\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Author=Art\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("WM/AlbumTitle=Alb\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("WM/Genre=Jazz\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("WM/Year=2020\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("WM/TrackNumber=4\n"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Description=(c)\n"), std::string::npos) << tags;
  }
}

TEST(WMAOut, EmptyTagsAreNotWritten) {
  TempDir dir;
  const std::string wav = dir.File("src.wav"), wma = dir.File("out.wma");
  MakeAudio(wav, 0.5, 22050, 1, "-c:a pcm_s16le");
  ASSERT_EQ(Encode(wav, wma,
                   [](TWMAOut& o) {
                     o.CodecIndex = 0;
                     o.FormatIndex = 84 + 4 * 7 + 3;  // 128 kbps, 22 kHz, mono
                     o.Id3v2Tags().SetTitle(u"Only");
                   }),
            "");
  // The content description's other texts are there, empty.
  auto tags = Python("from mutagen.asf import ASF\nprint(sorted(k for k, v in ASF('" + wma +
                     "').items() if any(str(x) for x in v)))\n");
  EXPECT_EQ(tags, "['Title']\n");
  EXPECT_EQ(ProbeFields(wma)["channels"], "1");
}

TEST(WMAOut, SearchByBitRateAndRefusals) {
  TempDir dir;
  const std::string wav = dir.File("src.wav"), wma = dir.File("out.wma");
  MakeAudio(wav, 0.5, 44100, 2, "-c:a pcm_s16le");
  for (uint32_t wanted : {128u, 128000u}) {
    ASSERT_EQ(Encode(wav, wma, [&](TWMAOut& o) { o.SetDesiredBitrate(wanted); }), "");
    auto p = ProbeFields(wma);
    EXPECT_EQ(p["bit_rate"], "128000");
    // Bit rates compare strictly: the first 128 kbit/s stereo format met
    // (48 kHz) is kept, as no later one is nearer in bit rate.
    EXPECT_EQ(p["sample_rate"], "48000");
  }
  // No format with the input's channels (three) or bits (eight): the
  // constant-bit-rate search finds nothing.
  {
    std::vector<uint8_t> pcm(44100 * 3 * 2 / 10, 0);
    TMemoryStream stream(pcm);
    MemoryIn three;
    three.Chans = 3;
    three.AttachStream(&stream);
    TWMAOut out(nullptr);
    out.SetInput(&three);
    out.SetFileName(wma);
    out.SetDesiredBitrate(128);
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(out.ErrorMessage(), "Failed to init codec");
  }
  const std::string wav8 = dir.File("8.wav");
  MakeAudio(wav8, 0.5, 44100, 2, "-c:a pcm_u8");
  EXPECT_EQ(Encode(wav8, wma, [](TWMAOut& o) { o.SetDesiredBitrate(128); }), "Failed to init codec");
  // Indexes beyond the lists, and VBR of codecs without it, configure nothing.
  EXPECT_EQ(Encode(wav, wma, [](TWMAOut& o) { o.CodecIndex = 5; }), "Failed to init codec");
  EXPECT_EQ(Encode(wav, wma,
                   [](TWMAOut& o) {
                     o.CodecIndex = 0;
                     o.FormatIndex = 168;
                   }),
            "Failed to init codec");
  EXPECT_EQ(Encode(wav, wma,
                   [](TWMAOut& o) {
                     o.CodecIndex = 0;
                     o.SetVBR(true);
                   }),
            "Failed to init codec");
  EXPECT_EQ(Encode(wav, "", [](TWMAOut& o) { o.CodecIndex = 0; }), "File name is not assigned.");
  EXPECT_EQ(Encode(wav, dir.File("no/dir/x.wma"), [](TWMAOut& o) { o.CodecIndex = 0; }), "Cannot create file");
}

TEST(WMAOut, RoundTripThroughTheComponentsKeepsLengthAndAlignment) {
  TempDir dir;
  const std::string wav = dir.File("src.wav"), wma = dir.File("mid.wma");
  MakeAudio(wav, 4, 44100, 2, "-c:a pcm_s16le");
  ASSERT_EQ(Encode(wav, wma,
                   [](TWMAOut& o) {
                     o.CodecIndex = 0;
                     o.FormatIndex = 29;
                   }),
            "");
  TWMIn back(nullptr);
  back.SetFileName(wma);
  auto decoded = AsSamples(ReadAll(back));
  auto source = FfmpegDecode(wav);
  EXPECT_NEAR(double(decoded.size()), double(source.size()), 2 * 2048.0);
  EXPECT_GT(Correlation(source, decoded), 0.9);
}

// A chunk of 80 ms at an odd rate held a partial frame, which the source
// could not give: the run ended after the first chunk and called it done.
TEST(WMAOut, OddSourceRateWroteOnlyTheFirstChunk) {
  TempDir dir;
  for (int rate : {7000, 7872, 8000, 11024, 11025, 12345, 16000, 22050, 32000, 44100, 47999, 48000}) {
    for (int channels : {1, 2}) {
      const std::string wav = dir.File("src.wav"), wma = dir.File("out.wma");
      Shell("sox -n -b 16 -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " + Quote(wav) +
            " synth 1.5 sine 440");
      ASSERT_EQ(Encode(wav, wma, [&](TWMAOut& o) { o.CodecIndex = 0, o.FormatIndex = 29; }), "") << rate;
      EXPECT_NEAR(double(FfmpegDecode(wma, "").size()) / 2 / 44100, 1.5, 0.05) << rate << " Hz, " << channels;
    }
  }
}
