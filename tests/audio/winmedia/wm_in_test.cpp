#include "audio/winmedia/wm_in.h"

#include <gtest/gtest.h>

#include "audio/core/au_exception.h"
#include "audio/wave/wave_in.h"
#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

struct Decoded {
  std::vector<int16_t> Samples;
  int64_t DataSize;
  int Rate, Channels;
};

Decoded DecodeWith(TWMIn& In, const std::string& Path) {
  In.SetFileName(Path);
  Decoded d;
  d.Rate = In.SampleRate();
  d.Channels = In.Channels();
  EXPECT_EQ(In.BitsPerSample(), 16);
  In.BeginRead();
  d.DataSize = In.Size();
  In.EndRead();
  d.Samples = AsSamples(ReadAll(In));
  return d;
}

}  // namespace

// Lengths of no whole hundredth: the size was a rounded duration, cutting
// up to 5 ms of the end.
TEST(WMIn, Mp3MatchesFfmpegsDecode) {
  TempDir dir;
  struct Case {
    std::string Name, Codec;
    int Rate, Channels;
  } cases[] = {{"cbr stereo", "-c:a libmp3lame -b:a 128k", 44100, 2},
               {"vbr mono", "-c:a libmp3lame -q:a 4", 22050, 1},
               {"vbr without xing", "-c:a libmp3lame -q:a 5 -write_xing 0", 48000, 2},
               {"cbr 32 kHz", "-c:a libmp3lame -b:a 96k", 32000, 2}};
  for (const auto& c : cases) {
    const std::string mp3 = dir.File("in.mp3");
    MakeAudio(mp3, 2.49937, c.Rate, c.Channels, c.Codec + " -id3v2_version 3");
    TMP3In in(nullptr);
    Decoded d = DecodeWith(in, mp3);
    auto theirs = FfmpegDecode(mp3);
    EXPECT_EQ(d.Rate, c.Rate) << c.Name;
    EXPECT_EQ(d.Channels, c.Channels) << c.Name;
    EXPECT_EQ(d.DataSize, int64_t(theirs.size() * 2));  // not a rounded duration
    // Equal sample for sample, over what the size lets through.
    std::vector<int16_t> expected(theirs.begin(), theirs.begin() + std::min(theirs.size(), d.Samples.size()));
    EXPECT_EQ(d.Samples, expected) << c.Name;
  }
}

TEST(WMIn, WmaMatchesFfmpegsDecode) {
  TempDir dir;
  for (std::string codec : {"wmav2", "wmav1"}) {
    for (auto [rate, channels] : {std::pair{44100, 2}, std::pair{22050, 1}, std::pair{8000, 2}}) {
      const std::string wma = dir.File("in.wma");
      MakeAudio(wma, 2.20937, rate, channels, "-c:a " + codec + " -b:a 64k");
      TWMIn in(nullptr);
      Decoded d = DecodeWith(in, wma);
      auto theirs = FfmpegDecode(wma);
      EXPECT_EQ(d.DataSize, int64_t(theirs.size() * 2));  // not a rounded duration
      std::vector<int16_t> expected(theirs.begin(), theirs.begin() + std::min(theirs.size(), d.Samples.size()));
      EXPECT_EQ(d.Samples, expected) << codec << " " << rate;
    }
  }
}

TEST(WMIn, AttributesLandInTheId3v2Set) {
  TempDir dir;
  const std::string wma = dir.File("tags.wma");
  MakeAudio(wma, 0.5, 44100, 2,
            "-c:a wmav2 -metadata Title=T\xC3\xAFtle -metadata Author=Art -metadata WM/AlbumTitle=Alb "
            "-metadata WM/Genre=Rock -metadata WM/Track=3 -metadata WM/Year=1999 -metadata Copyright=Copy");
  TWMIn in(nullptr);
  in.SetFileName(wma);
  TId3v2Tags& t = in.Id3v2Tags();
  EXPECT_EQ(t.Title(), u"T\u00eftle");
  EXPECT_EQ(t.Artist(), u"Art");
  EXPECT_EQ(t.Album(), u"Alb");
  EXPECT_EQ(t.Genre(), u"Rock") << "no terminating null kept";
  EXPECT_EQ(t.Track(), u"3");
  EXPECT_EQ(t.Year(), u"1999");
  EXPECT_EQ(t.Comment(), u"Copy");

  const std::string mp3 = dir.File("tags.mp3");
  MakeAudio(mp3, 0.5, 44100, 2,
            "-c:a libmp3lame -id3v2_version 3 -metadata title=Song -metadata artist=Who -metadata album=What "
            "-metadata genre=Jazz -metadata track=7 -metadata date=2001 -metadata copyright=C");
  TMP3In m(nullptr);
  m.SetFileName(mp3);
  TId3v2Tags& u = m.Id3v2Tags();
  EXPECT_EQ(u.Title(), u"Song");
  EXPECT_EQ(u.Artist(), u"Who");
  EXPECT_EQ(u.Album(), u"What");
  EXPECT_EQ(u.Genre(), u"Jazz");
  EXPECT_EQ(u.Track(), u"7");
  EXPECT_EQ(u.Year(), u"2001");
  EXPECT_EQ(u.Copyright(), u"C") << "a copyright is no comment";
}

TEST(WMIn, SeekingAndRanges) {
  TempDir dir;
  const std::string mp3 = dir.File("in.mp3");
  MakeAudio(mp3, 3, 44100, 2, "-c:a libmp3lame -b:a 192k");
  TMP3In in(nullptr);
  in.SetFileName(mp3);
  auto all = AsSamples(ReadAll(in));
  in.SetStartSample(44100);
  auto from = AsSamples(ReadAll(in));
  ASSERT_GT(from.size(), 1000u);
  // The seek lands on the hundredth of a second nearest to the sample.
  std::vector<int16_t> got(from.begin(), from.begin() + 2000);
  std::vector<int16_t> expected(all.begin() + 2 * 44100, all.begin() + 2 * 44100 + 2000);
  EXPECT_GT(Correlation(expected, got), 0.999) << "the very samples of the straight read";
  // And one sample later is measurably worse: the position is exact.
  std::vector<int16_t> shifted(all.begin() + 2 * 44101, all.begin() + 2 * 44101 + 2000);
  EXPECT_LT(Correlation(shifted, got), Correlation(expected, got));
}

TEST(WMIn, UnreadableAndMissingSources) {
  TempDir dir;
  const std::string junk = dir.File("junk.wma");
  WriteBytes(junk, std::vector<uint8_t>(5000, 0x42));
  TWMIn in(nullptr);
  in.SetFileName(junk);
  EXPECT_EQ(in.Channels(), 0);
  EXPECT_TRUE(ReadAll(in).empty());
  TWMIn missing(nullptr);
  missing.SetFileName(dir.File("none.wma"));
  EXPECT_THROW(missing.Channels(), EAuException);
  EXPECT_TRUE(ReadAll(missing).empty());
  TWMIn unnamed(nullptr);
  try {
    unnamed.SampleRate();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "File name is not assigned");
  }
}

// Regressions: the byte-30 retry rewound to 0 and so never opened a WMA
// behind a 30-byte prefix; a new file name kept the previous file's format
// and tags when the new file could not be read.
TEST(WMIn, PrefixedFilesAndFilesAfterAGoodOne) {
  TempDir dir;
  const std::string plain = dir.File("plain.wma"), prefixed = dir.File("prefixed.wma");
  MakeAudio(plain, 1, 44100, 2, "-c:a wmav2 -metadata Title=Tune");
  auto bytes = ReadBytes(plain);
  bytes.insert(bytes.begin(), 30, 0x5A);
  WriteBytes(prefixed, bytes);
  TWMIn in(nullptr);
  const Decoded a = DecodeWith(in, plain), b = DecodeWith(in, prefixed);
  EXPECT_EQ(b.Samples, a.Samples);
  EXPECT_GT(b.Samples.size(), 40000u);
  EXPECT_EQ(in.Id3v2Tags().Title(), u"Tune");

  WriteText(dir.File("junk.wma"), std::string(4000, 'j'));
  in.SetFileName(dir.File("junk.wma"));
  EXPECT_EQ(in.Channels(), 0);
  EXPECT_EQ(in.SampleRate(), 0);
  EXPECT_TRUE(in.Id3v2Tags().Title().empty());
  EXPECT_TRUE(ReadAll(in).empty());
}

namespace {

// A source with 4 KiB that cannot be read from FailAt on, as a failing disk's.
class TFailingStream : public TMemoryStream {
 public:
  TFailingStream(std::vector<uint8_t> Data, int64_t FailAt) : TMemoryStream(std::move(Data)), FFailAt(FailAt) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    const int64_t at = Position();
    if (at < FFailAt + 4096 && at + Count > FFailAt) throw std::runtime_error("Read error: Input/output error");
    return TMemoryStream::Read(Buffer, Count);
  }

 private:
  int64_t FFailAt;
};

}  // namespace

// Regression: a read error in the middle of an MP3, WMA or WAV source was
// taken for its end, and the file reported converted with what came before.
TEST(WMIn, ReadErrorsFailTheReadInsteadOfEndingIt) {
  TempDir dir;
  const struct {
    const char* Name;
    std::string Args;
  } cases[] = {{"in.mp3", "-c:a libmp3lame"}, {"in.wma", "-c:a wmav2"}, {"in.wav", "-c:a pcm_s16le"}};
  for (const auto& c : cases) {
    MakeAudio(dir.File(c.Name), 3, 44100, 2, c.Args);
    auto bytes = ReadBytes(dir.File(c.Name));
    const int64_t failAt = static_cast<int64_t>(bytes.size() / 2);
    TFailingStream stream(std::move(bytes), failAt);
    std::unique_ptr<TAuFileIn> in;
    if (std::string(c.Name) == "in.wav")
      in = std::make_unique<TWaveIn>(nullptr);
    else
      in = std::make_unique<TWMIn>(nullptr);
    in->AttachStream(&stream);
    try {
      EXPECT_EQ(in->Channels(), 2) << c.Name;
      ReadAll(*in);
      ADD_FAILURE() << c.Name << ": the read ended as if the file did";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), "Read error: Input/output error") << c.Name;
    }
  }
}

// An MP3 joined from a mono and a stereo recording kept only the left side
// of the stereo part: it goes on in the layout it started with, as ffmpeg
// converts it (a mono part to both sides at its own level, ffmpeg's -3 dB).
TEST(WMIn, Mp3ChangingBetweenMonoAndStereoKeepsEveryChannel) {
  TempDir dir;
  Shell("cd " + Quote(dir.Path().string()) +
        " && sox -n -r 44100 -c 1 m.wav synth 2 sine 440 && sox -n -r 44100 -c 2 s.wav synth 2 sine 660 sine 880"
        " && lame --quiet m.wav && lame --quiet -m s s.wav && cat m.mp3 s.mp3 > 1.mp3 && cat s.mp3 m.mp3 > 2.mp3"
        " && sox -n -r 22050 -c 1 l.wav synth 2 sine 300 && lame --quiet l.wav && cat m.mp3 l.mp3 > rate.mp3");
  TMP3In rate(nullptr);  // a 22.05 kHz part was counted at half its length and cut
  EXPECT_NEAR(double(DecodeWith(rate, dir.File("rate.mp3")).Samples.size()),
              double(FfmpegDecode(dir.File("rate.mp3")).size()), 64);
  for (int channels : {1, 2}) {
    TMP3In in(nullptr);
    const std::string mp3 = dir.File(std::to_string(channels) + ".mp3");
    Decoded d = DecodeWith(in, mp3);
    const std::string pcm =
        Shell("ffmpeg -v error -i " + Quote(mp3) + " -ac " + std::to_string(channels) + " -f s16le -");
    const auto peer = AsSamples({pcm.begin(), pcm.end()});
    ASSERT_EQ(d.Samples.size(), peer.size());
    const long from = long(2.2 * 44100) * channels;  // the second recording
    const std::vector<int16_t> ours2(d.Samples.begin() + from, d.Samples.end()), peer2(peer.begin() + from, peer.end());
    EXPECT_GT(Correlation(peer2, ours2), 0.999) << channels;
    bool bothSides = true;
    for (size_t i = 0; i + 1 < ours2.size(); i += 2) bothSides &= ours2[i] == ours2[i + 1];
    EXPECT_TRUE(channels == 2 ? bothSides : ours2 == peer2) << channels;
  }
}

// Packets the decoder refused (as FFmpeg refuses a WMA Voice file's WMA Pro
// frames) went by unnoticed: the file converted at half its length.
TEST(WMIn, PacketsThatFailToDecodeWereLostSilently) {
  TempDir dir;
  // Every frame 384 bytes: 128 kbit/s at 48 kHz, no Xing frame or tag.
  MakeAudio(dir.File("whole.mp3"), 10, 48000, 2, "-c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0");
  std::vector<uint8_t> bytes = ReadBytes(dir.File("whole.mp3"));
  // Frames from 3 s to 6 s keep their headers and state impossible sizes.
  for (size_t at = 125 * 384; at < 250 * 384; at += 384) std::fill(&bytes[at + 4], &bytes[at + 384], 0xFF);
  WriteBytes(dir.File("damaged.mp3"), bytes);
  for (const std::string name : {"whole.mp3", "damaged.mp3"}) {
    TMP3In in(nullptr);
    in.SetFileName(dir.File(name));
    in.BeginRead();
    uint8_t* buffer = nullptr;
    for (uint32_t n = 1; n > 0;) in.GetData(buffer, n = 65536);
    const std::string text = "the source could not be decoded whole (3.0 s of 10.0 s lost)";
    const std::vector<TAuWarningText> none, lost{{TAuWarning::DecodeLoss, text}};
    EXPECT_EQ(in.ReadNotes(), name == "whole.mp3" ? none : lost);
    in.EndRead();
  }
}

// Junk before an MP3 stream that looks like AMR frames was taken for AMR:
// minutes of noise at 8000 Hz. An MP3 source is read as MPEG audio unless it
// plainly is another kind the program reads (a WMA file under an MP3 name).
TEST(WMIn, Mp3BehindJunkWasProbedAsAmr) {
  TempDir dir;
  const std::string mp3 = dir.File("clean.mp3"), junk = dir.File("junk.mp3"), wma = dir.File("named.mp3");
  MakeAudio(mp3, 2, 44100, 2, "-c:a libmp3lame -b:a 128k");
  std::vector<uint8_t> bytes = ReadBytes(mp3);
  for (int i = 0; i < 3000; ++i) bytes.insert(bytes.begin(), 32, 0), bytes[0] = 0x3C;
  WriteBytes(junk, bytes);
  TMP3In in(nullptr), named(nullptr);
  const Decoded ours = DecodeWith(in, junk);
  EXPECT_EQ(ours.Rate * ours.Channels, 44100 * 2);
  EXPECT_NEAR(double(ours.Samples.size()), double(FfmpegDecode(mp3).size()), 2 * 1152 * 2);
  MakeAudio(wma, 1, 22050, 1, "-c:a wmav2 -f asf");
  EXPECT_NEAR(double(DecodeWith(named, wma).Samples.size()), 22050, 2048);
}
