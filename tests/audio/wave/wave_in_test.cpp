#include "audio/wave/wave_in.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "audio/core/au_exception.h"

#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;
using Bytes = std::vector<uint8_t>;

namespace {

void Le32(Bytes& B, uint32_t V) {
  for (int i = 0; i < 4; ++i) B.push_back(static_cast<uint8_t>(V >> (8 * i)));
}
void Le16(Bytes& B, uint32_t V) {
  B.push_back(static_cast<uint8_t>(V));
  B.push_back(static_cast<uint8_t>(V >> 8));
}
void Chunk(Bytes& B, const std::string& Id, const Bytes& Body) {
  B.insert(B.end(), Id.begin(), Id.end());
  Le32(B, static_cast<uint32_t>(Body.size()));
  B.insert(B.end(), Body.begin(), Body.end());
}
Bytes PcmFmt(int Channels, int Rate, int Bits) {
  Bytes f;
  Le16(f, 1);
  Le16(f, Channels);
  Le32(f, Rate);
  Le32(f, Rate * Channels * Bits / 8);
  Le16(f, Channels * Bits / 8);
  Le16(f, Bits);
  return f;
}
// A RIFF/WAVE file around the given chunks.
Bytes Riff(const Bytes& Chunks, const std::string& Riff = "RIFF", const std::string& Wave = "WAVE") {
  Bytes b(Riff.begin(), Riff.end());
  Le32(b, static_cast<uint32_t>(Chunks.size() + 4));
  b.insert(b.end(), Wave.begin(), Wave.end());
  b.insert(b.end(), Chunks.begin(), Chunks.end());
  return b;
}

Bytes Decode(const std::string& Path) {
  TWaveIn in(nullptr);
  in.SetFileName(Path);
  return ReadAll(in);
}

}  // namespace

TEST(WaveIn, PcmMatchesFfmpegSampleForSample) {
  TempDir dir;
  struct Case {
    int Rate, Channels;
    std::string Codec, Format;
  } cases[] = {{8000, 1, "-c:a pcm_u8", "u8"},
               {44100, 2, "-c:a pcm_s16le", "s16le"},
               {22050, 1, "-c:a pcm_s16le -metadata title=Listed", "s16le"},
               {48000, 2, "-c:a pcm_s16le", "s16le"}};
  for (const auto& c : cases) {
    const std::string path = dir.File("pcm.wav");
    MakeAudio(path, 1.3, c.Rate, c.Channels, c.Codec);
    TWaveIn in(nullptr);
    in.SetFileName(path);
    EXPECT_EQ(in.SampleRate(), c.Rate);
    EXPECT_EQ(in.Channels(), c.Channels);
    auto expected = FfmpegDecodeBytes(path, c.Format);
    EXPECT_EQ(in.Size(), static_cast<int64_t>(expected.size())) << c.Codec;
    EXPECT_EQ(ReadAll(in), expected) << c.Codec;
  }
}

TEST(WaveIn, TolerantHeaderScan) {
  TempDir dir;
  Bytes pcm;
  for (int i = 0; i < 3000; ++i) Le16(pcm, static_cast<uint32_t>(i * 37));
  Bytes list;
  Chunk(list, "INFO", Bytes(40, 'x'));
  struct Case {
    std::string Name;
    Bytes File;
  } cases[] = {
      {"list before data",
       [&] {
         Bytes c;
         Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
         Chunk(c, "LIST", list);
         Chunk(c, "data", pcm);
         return Riff(c);
       }()},
      {"chunks after data",
       [&] {
         Bytes c;
         Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
         Chunk(c, "data", pcm);
         Chunk(c, "LIST", list);
         Chunk(c, "id3 ", Bytes(300, 0x77));
         return Riff(c);
       }()},
      {"junk before RIFF",
       [&] {
         Bytes c;
         Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
         Chunk(c, "data", pcm);
         Bytes f(1000, 'j');
         Bytes r = Riff(c);
         f.insert(f.end(), r.begin(), r.end());
         return f;
       }()},
      {"lower-case ids",
       [&] {
         Bytes c;
         Chunk(c, "FMT ", PcmFmt(2, 44100, 16));
         Chunk(c, "Data", pcm);
         return Riff(c, "riff", "wave");
       }()},
      {"fact before data",
       [&] {
         Bytes c;
         Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
         Chunk(c, "fact", Bytes{1, 2, 3, 4});
         Chunk(c, "data", pcm);
         return Riff(c);
       }()},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("crafted.wav");
    WriteBytes(path, c.File);
    EXPECT_EQ(Decode(path), pcm) << c.Name;
  }
  // The two a peer also reads agree with ffmpeg.
  WriteBytes(dir.File("a.wav"), cases[0].File);
  EXPECT_EQ(FfmpegDecodeBytes(dir.File("a.wav"), "s16le"), pcm);
  WriteBytes(dir.File("b.wav"), cases[1].File);
  EXPECT_EQ(FfmpegDecodeBytes(dir.File("b.wav"), "s16le"), pcm);
}

TEST(WaveIn, UnrecognisedFilesReadAsEmpty) {
  TempDir dir;
  Bytes pcm(4000, 1);
  auto withFmt = [&](Bytes Fmt, bool Fact = false) {
    Bytes c;
    Chunk(c, "fmt ", Fmt);
    if (Fact) Chunk(c, "fact", Bytes{0, 1, 0, 0});
    Chunk(c, "data", pcm);
    return Riff(c);
  };
  Bytes floatFmt = PcmFmt(2, 44100, 16);  // float comes in 32 and 64 bits only
  floatFmt[0] = 3;
  Bytes trueSpeech = PcmFmt(1, 8000, 8);
  trueSpeech[0] = 0x22;
  Bytes ima = PcmFmt(1, 8000, 4);
  ima[0] = 17;
  Le16(ima, 2);
  Le16(ima, 505);
  Bytes ms = PcmFmt(1, 8000, 4);
  ms[0] = 2;
  Le16(ms, 32);
  Le16(ms, 500);
  Le16(ms, 33);  // more coefficient pairs than there is room for
  for (int i = 0; i < 33; ++i) Le32(ms, 0x01000100);
  Bytes zeroCh = PcmFmt(0, 44100, 16);
  Bytes imaTiny = ima;
  imaTiny[12] = 4;  // block align leaves no data
  imaTiny[13] = 0;
  Bytes imaHuge = ima;
  imaHuge[12] = 0x04;  // 4100 bytes: its PCM would not fit the decode buffer
  imaHuge[13] = 0x10;
  Bytes msThree = ms;
  msThree[2] = 3;
  msThree[20] = 7;
  struct Case {
    std::string Name;
    Bytes File;
  } cases[] = {{"16-bit float", withFmt(floatFmt)},
               {"truespeech", withFmt(trueSpeech)},
               {"ms with 33 pairs", withFmt(ms, true)},
               {"ms with three channels", withFmt(msThree, true)},
               {"zero channels", withFmt(zeroCh)},
               {"ima block without data", withFmt(imaTiny, true)},
               {"ima block too large", withFmt(imaHuge, true)},
               {"no RIFF", Bytes(5000, 'R')},
               {"empty", Bytes()},
               {"10001 chunks before fmt",
                [&] {
                  Bytes f = withFmt(PcmFmt(2, 44100, 16));
                  return f.insert(f.begin() + 12, 10001 * 8, 0), f;
                }()},
               {"no data chunk", [] {
                  Bytes c;
                  Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
                  return Riff(c);
                }()}};
  for (const auto& c : cases) {
    const std::string path = dir.File("bad.wav");
    WriteBytes(path, c.File);
    EXPECT_TRUE(Decode(path).empty()) << c.Name;
  }
}

TEST(WaveIn, ImaAdpcmMatchesPeers) {
  TempDir dir;
  struct Case {
    std::string Maker;
    int Channels;
  } cases[] = {{"sox", 1}, {"sox", 2}, {"ffmpeg", 1}, {"ffmpeg", 2}};
  for (const auto& c : cases) {
    const std::string pcm = dir.File("src.wav"), path = dir.File("ima.wav");
    MakeAudio(pcm, 2.1, 22050, c.Channels, "-c:a pcm_s16le");
    if (c.Maker == "sox")
      Shell("sox " + Quote(pcm) + " -e ima-adpcm " + Quote(path));
    else
      Shell("ffmpeg -v error -y -i " + Quote(pcm) + " -c:a adpcm_ima_wav " + Quote(path));
    auto ours = AsSamples(Decode(path));
    auto sox = SoxDecode(path);
    auto theirs = FfmpegDecode(path);
    // The length is the fact count; the peers ignore it and may decode the
    // padding of the last block too.
    ASSERT_GT(ours.size(), 40000u) << c.Maker << c.Channels;
    EXPECT_LE(ours.size(), sox.size());
    EXPECT_GE(ours.size() + 2041 * c.Channels, sox.size());
    // sox expands nibbles with the reference arithmetic, as this decoder does:
    // equal sample for sample.
    sox.resize(ours.size());
    EXPECT_EQ(ours, sox) << c.Maker << " " << c.Channels;
    // ffmpeg multiplies instead of summing truncated steps, so its predictor
    // drifts from the reference within a block: close, not equal.
    EXPECT_GT(SnrDb(theirs, ours), 50) << c.Maker << " " << c.Channels;
  }
}

TEST(WaveIn, MsAdpcmMatchesPeers) {
  TempDir dir;
  for (std::string maker : {"sox", "ffmpeg"}) {
    for (int channels : {1, 2}) {
      const std::string pcm = dir.File("src.wav"), path = dir.File("ms.wav");
      MakeAudio(pcm, 2.1, 22050, channels, "-c:a pcm_s16le");
      if (maker == "sox")
        Shell("sox " + Quote(pcm) + " -e ms-adpcm " + Quote(path));
      else
        Shell("ffmpeg -v error -y -i " + Quote(pcm) + " -c:a adpcm_ms " + Quote(path));
      auto ours = AsSamples(Decode(path));
      auto theirs = FfmpegDecode(path);
      ASSERT_GT(ours.size(), 40000u) << maker << channels;
      EXPECT_LE(ours.size(), theirs.size());
      // The prediction here truncates toward zero where ffmpeg rounds down,
      // which moves a sample by a step or two at most.
      EXPECT_LE(MaxAbsDiff(ours, theirs), 2) << maker << channels;
      EXPECT_GT(SnrDb(theirs, ours), 60) << maker << channels;
    }
  }
}

TEST(WaveIn, MpegLayer3WavDecodesLikeFfmpeg) {
  TempDir dir;
  for (int channels : {1, 2}) {
    const std::string path = dir.File("mp3.wav");
    MakeAudio(path, 3, 44100, channels, "-c:a libmp3lame -b:a 128k -f wav");
    TWaveIn in(nullptr);
    in.SetFileName(path);
    EXPECT_EQ(in.SampleRate(), 44100);
    EXPECT_EQ(in.Channels(), channels);
    EXPECT_EQ(in.BitsPerSample(), 16);
    auto ours = AsSamples(ReadAll(in));
    EXPECT_EQ(in.Kind(), wtACM);
    auto theirs = FfmpegDecode(path);
    EXPECT_NEAR(static_cast<double>(ours.size()), static_cast<double>(theirs.size()), 1152.0 * channels);
    EXPECT_GT(Correlation(ours, theirs), 0.99);
  }
}

TEST(WaveIn, SeekingAndRanges) {
  TempDir dir;
  const std::string pcm = dir.File("src.wav"), path = dir.File("ima.wav");
  MakeAudio(pcm, 2, 22050, 2, "-c:a pcm_s16le");
  // Stereo IMA with block align 2048: 2041 frames a block.
  Shell("ffmpeg -v error -y -i " + Quote(pcm) + " -c:a adpcm_ima_wav -block_size 2048 " + Quote(path));
  auto all = AsSamples(Decode(path));
  TWaveIn in(nullptr);
  in.SetFileName(path);
  in.SetStartSample(10000);
  auto from = AsSamples(ReadAll(in));
  // Decoding starts at the block holding frame 10000: block 4, frame 8164.
  ASSERT_GE(all.size(), 2u * 8164);
  std::vector<int16_t> expected(all.begin() + 2 * 8164, all.end());
  expected.resize(from.size());
  EXPECT_EQ(from, expected);

  // PCM ranges are exact.
  TWaveIn raw(nullptr);
  raw.SetFileName(pcm);
  auto whole = AsSamples(ReadAll(raw));
  raw.SetStartSample(1000);
  raw.SetEndSample(1999);
  auto part = AsSamples(ReadAll(raw));
  EXPECT_EQ(part, std::vector<int16_t>(whole.begin() + 2000, whole.begin() + 4000));
}

TEST(WaveIn, MissingFileAndReadsOutsideARead) {
  TWaveIn in(nullptr);
  in.SetFileName("/nonexistent/x.wav");
  EXPECT_TRUE(ReadAll(in).empty());
  EXPECT_THROW(in.Channels(), std::runtime_error);
}

// Regressions of hostile and unusual sources: a new file name forgets the
// previous file's format; a file cut inside a frame hands out whole frames;
// a FIFO is refused without blocking; a Layer-3 file whose byte rate says 1
// is sized from its frames, not from that field.
TEST(WaveIn, HostileSources) {
  TempDir dir;
  const std::string good = dir.File("good.wav"), junk = dir.File("junk.wav");
  MakeAudio(good, 0.5, 44100, 2, "-c:a pcm_s16le");
  WriteText(junk, std::string(3000, 'x'));
  TWaveIn in(nullptr);
  in.SetFileName(good);
  ASSERT_EQ(in.Channels(), 2);
  in.SetFileName(junk);
  EXPECT_EQ(in.Channels(), 0);
  EXPECT_EQ(in.SampleRate(), 0);
  EXPECT_EQ(in.BitsPerSample(), 0);
  EXPECT_TRUE(ReadAll(in).empty());

  Bytes c;
  Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
  Chunk(c, "data", Bytes(4003, 7));  // the last frame is cut after 3 bytes
  WriteBytes(dir.File("cut.wav"), Riff(c));
  EXPECT_EQ(Decode(dir.File("cut.wav")).size(), 4000u);

  const std::string fifo = dir.File("fifo.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  in.SetFileName(fifo);
  try {
    in.Channels();
    ADD_FAILURE() << "a FIFO was opened";
  } catch (const EAuException& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + fifo);
    EXPECT_EQ(e.Detail(), "not a regular file");
  }

  const std::string l3 = dir.File("l3.wav");
  MakeAudio(l3, 2, 44100, 2, "-c:a libmp3lame -b:a 128k -f wav");
  const Bytes honest = Decode(l3);
  Bytes lying = ReadBytes(l3);
  lying[28] = 1, lying[29] = lying[30] = lying[31] = 0;  // nAvgBytesPerSec
  WriteBytes(l3, lying);
  EXPECT_EQ(Decode(l3), honest);
}

// Chunks of odd size are followed by their pad byte; bext, iXML and other
// chunks before and after the format are skipped; BW64 is RF64 by another name.
TEST(WaveIn, PaddedChunksAndBw64) {
  TempDir dir;
  Bytes c;
  Chunk(c, "bext", Bytes(5, 'b'));
  c.push_back(0);  // pad
  Chunk(c, "fmt ", PcmFmt(2, 44100, 16));
  Chunk(c, "iXML", Bytes(3, 'x'));
  c.push_back(0);
  Bytes pcm(4000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 7);
  Chunk(c, "data", pcm);
  WriteBytes(dir.File("bwf.wav"), Riff(c));
  EXPECT_EQ(Decode(dir.File("bwf.wav")), pcm);

  const std::string rf64 = dir.File("rf64.wav");
  MakeAudio(rf64, 0.5, 44100, 2, "-c:a pcm_s16le -rf64 always");
  const Bytes expected = Decode(rf64);
  EXPECT_EQ(expected.size(), 44100u * 2);
  Bytes bw64 = ReadBytes(rf64);
  std::copy_n("BW64", 4, bw64.begin());
  WriteBytes(dir.File("bw64.wav"), bw64);
  EXPECT_EQ(Decode(dir.File("bw64.wav")), expected);
}

// Audio editors put large JUNK, bext or iXML chunks before the data; the
// scan gave up 8192 bytes into the file.
TEST(WaveIn, DataChunkPastTheFirst8KiBWasRefused) {
  TempDir dir;
  const std::string wav = dir.File("src.wav"), moved = dir.File("moved.wav");
  Shell("sox -n -r 8000 -c 2 -b 16 " + Quote(wav) + " synth 0.5 sine 440 sine 660");
  const Bytes expected = Decode(wav);
  ASSERT_EQ(expected.size(), 16000u);
  for (const std::string ops : {"junk=8140", "junk=8142", "junk=100001", "junk=1048576", "junk=100 huge=JUNK"}) {
    Shell("python3 " + Quote(TONVALE_WAV_SURGERY) + " " + Quote(wav) + " " + Quote(moved) + " " + ops);
    TWaveIn in(nullptr);
    in.SetFileName(moved);
    const bool huge = ops.find("huge") != std::string::npos;  // more than the file holds: refused, saying so
    EXPECT_EQ(in.Refusal(), huge ? "its \"JUNK\" chunk states 2147483632 bytes, more than the file holds" : "");
    EXPECT_EQ(ReadAll(in), huge ? Bytes() : expected) << ops;
  }
}

// Block-coded data needs no fact chunk before it: the data's size and block
// layout give the length. A fact count beyond the data, or a block and more
// short of it, gives the shorter length, and says so.
TEST(WaveIn, AdpcmWithoutFactBeforeDataWasRefused) {
  TempDir dir;
  const std::string pcm = dir.File("pcm.wav"), coded = dir.File("coded.wav"), cut = dir.File("cut.wav");
  MakeAudio(pcm, 1.7, 11024, 1, "-c:a pcm_s16le");
  for (const std::string encoding : {"ima-adpcm", "ms-adpcm", "gsm-full-rate"}) {
    Shell("sox " + Quote(pcm) + " -e " + encoding + " " + Quote(coded));
    const Bytes withFact = Decode(coded);
    Bytes fromData;
    for (const std::string ops : {"nofact", "factlast", "fact=1073741824", "fact=3000"}) {
      Shell("python3 " + Quote(TONVALE_WAV_SURGERY) + " " + Quote(coded) + " " + Quote(cut) + " " + ops);
      TWaveIn in(nullptr);
      in.SetFileName(cut);
      const Bytes ours = ReadAll(in);
      if (fromData.empty()) fromData = ours;
      EXPECT_EQ(ours.size(), ops == "fact=3000" ? 6000 : fromData.size()) << encoding << ops;
      EXPECT_EQ(in.Channels() > 0 && !in.ReadNotes().empty(), ops.find("fact=") == 0) << encoding << ops;
    }
    // The padding of the last block is audio too, when nothing says otherwise.
    ASSERT_GT(withFact.size(), 30000u) << encoding;
    EXPECT_LT(fromData.size(), withFact.size() + 2 * 1017) << encoding;
    EXPECT_TRUE(std::equal(withFact.begin(), withFact.end(), fromData.begin())) << encoding;
  }
}

// The extensible format names A-law and µ-law by its sub-format.
TEST(WaveIn, ExtensibleALawAndMuLawWereRefused) {
  TempDir dir;
  for (const std::string codec : {"pcm_alaw", "pcm_mulaw"}) {
    const std::string wav = dir.File(codec + ".wav");
    MakeAudio(wav, 0.6, 8000, 3, "-c:a " + codec);  // written as an extensible format
    ASSERT_EQ(ReadBytes(wav)[20], 0xFE);
    EXPECT_EQ(Decode(wav), FfmpegDecodeBytes(wav, "s16le")) << codec;
  }
}
