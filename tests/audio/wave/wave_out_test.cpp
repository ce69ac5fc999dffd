#include "audio/wave/wave_out.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <semaphore>
#include <thread>

#include "audio/wave/wave_in.h"
#include "platform/handle_stream.h"
#include "platform/ui_thread.h"
#include "support/audio_fixtures.h"
#include "support/memory_in.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;
using Bytes = std::vector<uint8_t>;

namespace {

uint32_t Le32At(const Bytes& B, size_t Offset) {
  return B[Offset] | (B[Offset + 1] << 8) | (B[Offset + 2] << 16) | (uint32_t(B[Offset + 3]) << 24);
}
uint16_t Le16At(const Bytes& B, size_t Offset) { return static_cast<uint16_t>(B[Offset] | (B[Offset + 1] << 8)); }

// A memory input of Frames counting 16-bit frames.
struct Source {
  std::vector<uint8_t> Pcm;
  TMemoryStream Stream;
  MemoryIn In;
  Source(size_t Frames, unsigned Channels, uint32_t Rate = 44100) : Pcm(CountingPcm(Frames, Channels)), Stream(Pcm) {
    In.Chans = Channels;
    In.Rate = Rate;
    In.AttachStream(&Stream);
  }
};

}  // namespace

TEST(WaveOut, PcmFileIsTheInputWithAHeader) {
  TempDir dir;
  Source src(1000, 2);
  TWaveOut out(nullptr);
  out.SetInput(&src.In);
  out.SetFileName(dir.File("out.wav"));
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.ErrorMessage(), "");
  Bytes b = ReadBytes(dir.File("out.wav"));
  ASSERT_EQ(b.size(), 4044u);
  EXPECT_EQ(Le32At(b, 4), 4036u);
  EXPECT_EQ(Le32At(b, 40), 4000u);
  EXPECT_EQ(Le32At(b, 28), 44100u * 4);
  EXPECT_EQ(Le16At(b, 32), 4);
  EXPECT_EQ(Bytes(b.begin() + 44, b.end()), src.Pcm);
  EXPECT_EQ(FfmpegDecodeBytes(dir.File("out.wav"), "s16le"), src.Pcm);
}

TEST(WaveOut, SizesAreRewrittenWhenNotKnownOrStopped) {
  TempDir dir;
  {
    Source src(3000, 2);
    src.In.AnnouncedSize = -1;
    TWaveOut out(nullptr);
    out.SetInput(&src.In);
    out.SetFileName(dir.File("unknown.wav"));
    ASSERT_TRUE(RunToEnd(out));
    Bytes b = ReadBytes(dir.File("unknown.wav"));
    EXPECT_EQ(Le32At(b, 40), 12000u);
    EXPECT_EQ(Le32At(b, 4), 12036u);
  }
  {
    Source src(1000000, 2);
    src.In.ChunkLimit = 16384;  // hands out what one chunk asks for, as the WAV reader does
    // The reader is held in the first refill until the stop is asked for, so
    // exactly one chunk is written whatever the machine's load.
    std::binary_semaphore reading{0}, stopAsked{0};
    src.In.BeforeRefill = [&](int Refills) {
      if (Refills > 0) return;
      reading.release();
      EXPECT_TRUE(stopAsked.try_acquire_for(std::chrono::seconds(20)));
    };
    TWaveOut out(nullptr);
    bool done = false;
    out.SetDoneDelay(0);
    out.SetOnDone([&](TAuComponent*) { done = true; });
    out.SetInput(&src.In);
    out.SetFileName(dir.File("stopped.wav"));
    out.Run();
    ASSERT_TRUE(reading.try_acquire_for(std::chrono::seconds(20)));
    out.Stop(true);
    stopAsked.release();
    ASSERT_TRUE(ui_thread::ProcessUntil([&] { return done; }, std::chrono::seconds(10)));
    Bytes b = ReadBytes(dir.File("stopped.wav"));
    ASSERT_EQ(b.size(), 44u + 16384u);
    EXPECT_EQ(Le32At(b, 40), 16384u);
    EXPECT_EQ(Le32At(b, 4), 16420u);
  }
  {
    // An input that falls short of its announced size: the header states
    // what is there, nothing is made up.
    Source src(1000, 2);
    src.In.AnnouncedSize = 8000;
    src.Stream.SetSize(2000);
    TWaveOut out(nullptr);
    out.SetInput(&src.In);
    out.SetFileName(dir.File("short.wav"));
    ASSERT_TRUE(RunToEnd(out));
    Bytes b = ReadBytes(dir.File("short.wav"));
    ASSERT_EQ(b.size(), 2044u);
    EXPECT_EQ(Le32At(b, 40), 2000u);
    EXPECT_EQ(Le32At(b, 4), 2036u);
  }
}

TEST(WaveOut, ImaAdpcmDecodesInThePeersToTheInput) {
  TempDir dir;
  for (int channels : {1, 2}) {
    const std::string pcm = dir.File("src.wav"), ima = dir.File("ima.wav");
    MakeAudio(pcm, 3, 44100, channels, "-c:a pcm_s16le");
    TWaveIn in(nullptr);
    in.SetFileName(pcm);
    TWaveOut out(nullptr);
    out.SetInput(&in);
    out.SetWavType(wtDVIADPCM);
    out.SetBlockSize(channels == 1 ? 512 : 1024);
    out.SetFileName(ima);
    ASSERT_TRUE(RunToEnd(out));
    ASSERT_EQ(out.ErrorMessage(), "");
    auto source = FfmpegDecode(pcm);
    for (auto decoded : {FfmpegDecode(ima), SoxDecode(ima)}) {
      EXPECT_GE(decoded.size(), source.size()) << channels;
      EXPECT_GT(SnrDb(source, decoded), 25) << channels;
    }
    // And this reader gives back exactly the input's length.
    TWaveIn back(nullptr);
    back.SetFileName(ima);
    EXPECT_EQ(ReadAll(back).size(), source.size() * 2) << channels;
  }
}

TEST(WaveOut, ImaHeaderFigures) {
  TempDir dir;
  {
    Source src(2034, 1);
    TWaveOut out(nullptr);
    out.SetInput(&src.In);
    out.SetWavType(wtDVIADPCM);
    out.SetFileName(dir.File("mono.wav"));
    ASSERT_TRUE(RunToEnd(out));
    Bytes b = ReadBytes(dir.File("mono.wav"));
    EXPECT_EQ(Le16At(b, 38), 1017) << "samples per block";
    // Two full blocks and a block of silence; the header states all three
    // blocks and the 2034 frames that came in.
    ASSERT_EQ(b.size(), 60u + 3 * 512);
    EXPECT_EQ(Le32At(b, 56), 3u * 512);
    EXPECT_EQ(Le32At(b, 48), 2034u);
    EXPECT_EQ(Le32At(b, 4), b.size() - 8);
  }
  {
    Source src(100, 2);
    TWaveOut out(nullptr);
    out.SetInput(&src.In);
    out.SetWavType(wtDVIADPCM);
    out.SetFileName(dir.File("stereo.wav"));
    ASSERT_TRUE(RunToEnd(out));
    Bytes b = ReadBytes(dir.File("stereo.wav"));
    EXPECT_EQ(Le16At(b, 38), 505);
    EXPECT_EQ(Le32At(b, 28), 44544u);
    EXPECT_EQ(Le16At(b, 32), 512);
  }
}

TEST(WaveOut, PropertiesRefuseWhatTheyCannotWrite) {
  TWaveOut out(nullptr);
  out.SetBlockSize(510);
  EXPECT_EQ(out.BlockSize(), 512);
  out.SetBlockSize(0);
  EXPECT_EQ(out.BlockSize(), 512);
  out.SetWavType(wtMSADPCM);
  EXPECT_EQ(out.WavType(), wtPCM);
  TempDir dir;
  struct Case {
    int Channels, Bits, Block;
    std::string Message;
  } cases[] = {{1, 8, 512, "Cannot encode 8 bit sound into ADPCM."},
               {3, 16, 512, "Cannot encode this sound into ADPCM with this block size."},
               {2, 16, 516, "Cannot encode this sound into ADPCM with this block size."},
               {2, 16, 8, "Cannot encode this sound into ADPCM with this block size."}};
  for (const auto& c : cases) {
    Source src(100, 1);
    src.In.Chans = c.Channels;
    src.In.Bits = c.Bits;
    TWaveOut ima(nullptr);
    ima.SetInput(&src.In);
    ima.SetWavType(wtDVIADPCM);
    ima.SetBlockSize(static_cast<uint16_t>(c.Block));
    ima.SetFileName(dir.File("x.wav"));
    ASSERT_TRUE(RunToEnd(ima));
    EXPECT_EQ(ima.ErrorMessage(), c.Message);
    EXPECT_FALSE(src.In.IsReading()) << "the input's read was ended";
  }
  TWaveOut unnamed(nullptr);
  Source src(10, 1);
  unnamed.SetInput(&src.In);
  ASSERT_TRUE(RunToEnd(unnamed));
  EXPECT_EQ(unnamed.ErrorMessage(), "File name is not assigned.");
}

TEST(WaveOut, AppendsToMatchingFilesOnly) {
  TempDir dir;
  const std::string path = dir.File("grow.wav");
  Source first(1000, 2);
  TWaveOut out(nullptr);
  out.SetFileMode(foAppend);  // on a missing file: a new file
  out.SetInput(&first.In);
  out.SetFileName(path);
  ASSERT_TRUE(RunToEnd(out));
  Source second(500, 2);
  out.SetInput(&second.In);
  ASSERT_TRUE(RunToEnd(out));
  Bytes b = ReadBytes(path);
  ASSERT_EQ(b.size(), 44u + 6000);
  EXPECT_EQ(Le32At(b, 40), 6000u);
  EXPECT_EQ(Le32At(b, 4), 6036u);
  Bytes both = first.Pcm;
  both.insert(both.end(), second.Pcm.begin(), second.Pcm.end());
  EXPECT_EQ(FfmpegDecodeBytes(path, "s16le"), both);

  Source other(100, 2, 22050);
  out.SetInput(&other.In);
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.ErrorMessage(), "Cannot append data in different audio format.");
  EXPECT_EQ(ReadBytes(path), b) << "unchanged";

  const std::string mp3wav = dir.File("mp3.wav");
  MakeAudio(mp3wav, 0.5, 44100, 2, "-c:a libmp3lame -f wav");
  const Bytes before = ReadBytes(mp3wav);
  out.SetFileName(mp3wav);
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(out.ErrorMessage(), "Cannot append data to this .wav file.");
  EXPECT_EQ(ReadBytes(mp3wav), before);
}

TEST(WaveOut, AppendAfterATrailingChunkAndToImaFiles) {
  TempDir dir;
  // A PCM file with a chunk after its data: new data goes after that chunk.
  const std::string path = dir.File("tail.wav");
  Source first(100, 1);
  {
    TWaveOut out(nullptr);
    out.SetInput(&first.In);
    out.SetFileName(path);
    ASSERT_TRUE(RunToEnd(out));
  }
  Bytes b = ReadBytes(path);
  const Bytes tail = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'a', 'b', 'c', 'd'};
  b.insert(b.end(), tail.begin(), tail.end());
  WriteBytes(path, b);
  Source second(50, 1);
  TWaveOut out(nullptr);
  out.SetFileMode(foAppend);
  out.SetInput(&second.In);
  out.SetFileName(path);
  ASSERT_TRUE(RunToEnd(out));
  Bytes grown = ReadBytes(path);
  ASSERT_EQ(grown.size(), b.size() + 100);
  EXPECT_EQ(Le32At(grown, 40), grown.size() - 44);

  // An IMA file with block align 1024 sets the block size and kind.
  const std::string ima = dir.File("ima.wav");
  MakeAudio(ima, 0.5, 22050, 1, "-c:a adpcm_ima_wav -block_size 1024");
  Source more(3000, 1, 22050);
  TWaveOut appender(nullptr);
  appender.SetFileMode(foAppend);
  appender.SetInput(&more.In);
  appender.SetFileName(ima);
  ASSERT_TRUE(RunToEnd(appender));
  EXPECT_EQ(appender.ErrorMessage(), "");
  EXPECT_EQ(appender.WavType(), wtDVIADPCM);
  EXPECT_EQ(appender.BlockSize(), 1024);
  TWaveIn back(nullptr);
  back.SetFileName(ima);
  EXPECT_EQ(back.SampleCount() % 2041, 0) << "whole blocks counted";
  EXPECT_GT(back.SampleCount(), 3000 + 10000);
}

TEST(WaveOut, CopyThroughTheReaderKeepsTheBytes) {
  TempDir dir;
  const std::string src = dir.File("src.wav"), dst = dir.File("dst.wav");
  MakeAudio(src, 2, 48000, 2, "-c:a pcm_s16le");
  TWaveIn in(nullptr);
  in.SetFileName(src);
  TWaveOut out(nullptr);
  out.SetInput(&in);
  out.SetFileName(dst);
  ASSERT_TRUE(RunToEnd(out));
  EXPECT_EQ(FfmpegDecodeBytes(dst, "s16le"), FfmpegDecodeBytes(src, "s16le"));
}

// Regression: a WAV output past 4 GiB got a header whose sizes kept their low
// 32 bits. Data that a RIFF header cannot state gets an RF64 header, whose
// ds64 chunk the reader and ffprobe read back, also when the data turns out
// longer than announced. The files are sparse: only their headers are real.
TEST(WaveOut, DataPast4GiBGetsAnRf64Header) {
  TempDir dir;
  const int64_t kGiB = int64_t{1} << 30;
  const struct {
    int64_t Announced, Written;
    size_t HeaderSize;
  } cases[] = {{1000, 1000, 44},
               {3 * kGiB, 3 * kGiB + 4, 44},
               {4 * kGiB - 44, 4 * kGiB - 44, 80},
               {5 * kGiB, 5 * kGiB + 4000, 80}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Written);
    const std::string path = dir.File("big.wav");
    const Bytes header = PcmWavHeader(2, 44100, 16, c.Announced);
    EXPECT_EQ(header.size(), c.HeaderSize);
    WriteBytes(path, header);
    std::filesystem::resize_file(path, header.size() + static_cast<uint64_t>(c.Written));
    {
      THandleStream file(THandleStream::Open(path, TFileAccess::ReadWrite, TFileSharing::Exclusive, false));
      StatePcmSizes(file, static_cast<int64_t>(header.size()) + c.Written);
      file.SetPosition(0);
      const TWavHeader h = ScanWavHeader(file);
      EXPECT_EQ(h.Kind, wtPCM);
      EXPECT_EQ(h.DataSize, static_cast<uint64_t>(c.Written));
      EXPECT_EQ(h.DataOffset, static_cast<int64_t>(header.size()));
    }
    if (c.HeaderSize == 80) {
      // The ds64 sample count: frames of 4 bytes (it was once divided by
      // the first audio bytes, read as the frame size).
      uint8_t b[8] = {};
      std::ifstream(path, std::ios::binary).seekg(36).read(reinterpret_cast<char*>(b), 8);
      uint64_t count = 0;
      for (int i = 7; i >= 0; --i) count = (count << 8) | b[i];
      EXPECT_EQ(count, static_cast<uint64_t>(c.Written / 4));
    }
    const std::string samples = Shell("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 " + Quote(path));
    EXPECT_EQ(samples, std::to_string(c.Written / 4) + "\n");
  }
}
