#include "audio/core/au_file_in.h"

#include <gtest/gtest.h>

#include <fstream>

#include "audio/core/au_exception.h"
#include "support/memory_in.h"
#include "support/temp_dir.h"

using namespace tonvale;
using test::CountingPcm;
using test::MemoryIn;

namespace {

// Reads everything the input gives, Request bytes at a time.
std::vector<uint8_t> Drain(TAuInput& In, uint32_t Request = 1000) {
  std::vector<uint8_t> out;
  for (;;) {
    uint8_t* buf = nullptr;
    uint32_t n = Request;
    In.GetData(buf, n);
    if (n == 0) break;
    EXPECT_EQ(n % 4, 0u) << "whole stereo 16-bit frames";
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::vector<uint8_t> Frames(const std::vector<uint8_t>& Pcm, size_t First, size_t Count) {
  return {Pcm.begin() + First * 4, Pcm.begin() + (First + Count) * 4};
}

struct FileInTest : testing::Test {
  std::vector<uint8_t> pcm = CountingPcm(5000, 2);
  TMemoryStream stream{pcm};
  MemoryIn in;
  void SetUp() override { in.AttachStream(&stream); }
};

}  // namespace

TEST_F(FileInTest, WholeReadDeliversEveryByteOnce) {
  EXPECT_EQ(in.SampleCount(), 5000);
  EXPECT_EQ(in.Channels(), 2);
  in.BeginRead();
  EXPECT_EQ(in.Size(), 20000);
  EXPECT_EQ(Drain(in), pcm);
  EXPECT_EQ(in.Position(), 20000);
  // After the end nothing more is read from the source.
  int calls = in.ReadDataCalls;
  uint8_t* buf = reinterpret_cast<uint8_t*>(1);
  uint32_t n = 100;
  in.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(buf, nullptr);
  EXPECT_EQ(in.ReadDataCalls, calls);
  in.EndRead();
  EXPECT_FALSE(in.IsReading());
}

TEST_F(FileInTest, RangeAppliesToOneReadOnly) {
  in.SetStartSample(1000);
  in.SetEndSample(1999);
  in.BeginRead();
  EXPECT_EQ(in.Size(), 4000);
  EXPECT_EQ(Drain(in, 3000), Frames(pcm, 1000, 1000));
  in.EndRead();
  EXPECT_EQ(in.StartSample(), 0);
  EXPECT_EQ(in.EndSample(), -1);
  in.BeginRead();
  EXPECT_EQ(Drain(in), pcm);
  in.EndRead();
}

TEST_F(FileInTest, EndAtOrBeyondTheDataMeansToTheEnd) {
  for (int64_t end : {4999, 5000, 1 << 20}) {
    in.SetStartSample(4000);
    in.SetEndSample(end);
    in.BeginRead();
    EXPECT_EQ(in.Size(), 4000) << end;
    EXPECT_EQ(Drain(in), Frames(pcm, 4000, 1000)) << end;
    in.EndRead();
  }
}

TEST_F(FileInTest, SourceLongerThanTheAnnouncedSizeIsCut) {
  in.AnnouncedSize = 4002;  // ends inside a frame: that frame is dropped
  in.BeginRead();
  auto got = Drain(in, 4096);
  EXPECT_EQ(got.size(), 4000u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), pcm.begin()));
  in.EndRead();
}

TEST_F(FileInTest, LoopRestartsAtTheStartSample) {
  in.SetStartSample(4500);
  in.SetLoop(true);
  in.BeginRead();
  std::vector<uint8_t> pass;
  uint8_t* buf;
  uint32_t n;
  do {
    n = 1000;
    in.GetData(buf, n);
    ASSERT_GT(n, 0u);
    pass.insert(pass.end(), buf, buf + n);
  } while (pass.size() < 2000);
  EXPECT_EQ(pass, Frames(pcm, 4500, 500));  // the call reaching the end returns the last bytes
  EXPECT_EQ(in.Position(), 0);
  n = 400;
  in.GetData(buf, n);
  ASSERT_EQ(n, 400u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + n), Frames(pcm, 4500, 100));
  EXPECT_EQ(in.Position(), 400);
  in.EndRead();
}

TEST(FileIn, LoopOverAnEmptySourceEnds) {
  TMemoryStream empty;
  MemoryIn in;
  in.AttachStream(&empty);
  in.SetLoop(true);
  in.BeginRead();
  uint8_t* buf;
  uint32_t n = 1000;
  in.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  in.EndRead();
}

TEST_F(FileInTest, RequestBelowOneFrameEndsTheRead) {
  in.BeginRead();
  uint8_t* buf;
  uint32_t n = 3;
  in.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  n = 4000;
  in.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  in.EndRead();
}

TEST_F(FileInTest, SeekSampleBeforeAndDuringARead) {
  EXPECT_TRUE(in.SeekSample(4900));
  EXPECT_EQ(in.StartSample(), 4900);
  in.BeginRead();
  EXPECT_EQ(in.Size(), 400);
  EXPECT_EQ(Drain(in), Frames(pcm, 4900, 100));
  in.EndRead();

  in.SetStartSample(1000);
  in.BeginRead();
  // During a read the position counts from the start sample.
  EXPECT_TRUE(in.SeekSample(3000));
  EXPECT_EQ(in.Position(), 12000);
  EXPECT_EQ(Drain(in), Frames(pcm, 4000, 1000));
  in.EndRead();
  EXPECT_FALSE(in.SeekSample(5001));  // past the known count
}

TEST_F(FileInTest, UnknownSizeReadsToTheEndOfTheSource) {
  in.AnnouncedSize = -1;
  in.BeginRead();
  EXPECT_EQ(in.Size(), -1);
  EXPECT_EQ(Drain(in), pcm);
  in.EndRead();
}

TEST_F(FileInTest, SecondBeginWithoutEndReadsNothingUntilForceEnd) {
  in.BeginRead();
  in.BeginRead();  // "The component is Busy", swallowed
  uint8_t* buf;
  uint32_t n = 100;
  in.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  in.ForceEnd();
  EXPECT_FALSE(in.IsReading());
  in.BeginRead();
  EXPECT_EQ(Drain(in), pcm);
  in.EndRead();
}

TEST(FileIn, MissingFileReadsAsEmptyButFormatQueriesSayWhy) {
  test::TempDir dir;
  const std::string path = dir.File("gone.raw");
  MemoryIn in;
  in.SetFileName(path);
  in.BeginRead();
  uint8_t* buf;
  uint32_t n = 100;
  in.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  in.ForceEnd();
  try {
    in.SampleRate();
    FAIL() << "no error";
  } catch (const EAuException& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
  }
}

TEST(FileIn, NoNameNoStreamAndZeroFrameSizeReadNothing) {
  MemoryIn unnamed;
  unnamed.BeginRead();
  uint8_t* buf;
  uint32_t n = 100;
  unnamed.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(unnamed.IsReading());  // refused before the read started

  TMemoryStream stream(CountingPcm(10, 1));
  MemoryIn zero;
  zero.Bits = 4;  // less than a byte a frame
  zero.Chans = 1;
  zero.AttachStream(&stream);
  zero.BeginRead();
  n = 100;
  zero.GetData(buf, n);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(zero.SampleCount(), 0);
}

TEST(FileIn, FileSourceReopensForEachRead) {
  test::TempDir dir;
  const std::string path = dir.File("pcm.raw");
  auto pcm = CountingPcm(3000, 2);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()), pcm.size());
  MemoryIn in;
  in.SetFileName(path);
  for (int i = 0; i < 2; ++i) {
    in.BeginRead();
    EXPECT_EQ(Drain(in), pcm);
    in.EndRead();
  }
  EXPECT_EQ(in.Opens, 2);
}

TEST(FileIn, TotalSecondsRoundsHalvesToEven) {
  struct Case {
    size_t Frames;
    int Seconds;
  } cases[] = {{2, 0}, {6, 2}, {10, 2}, {14, 4}, {13, 3}};
  for (auto c : cases) {
    TMemoryStream stream(CountingPcm(c.Frames, 1));
    MemoryIn in;
    in.Chans = 1;
    in.Rate = 4;  // 2.5 s is 10 frames
    in.AttachStream(&stream);
    EXPECT_EQ(in.TotalSeconds(), c.Seconds) << c.Frames;
  }
}

TEST(ReadRoutines, ReadFullGathersAcrossShortReads) {
  TMemoryStream stream(CountingPcm(1000, 2));
  MemoryIn in;
  in.ChunkLimit = 256;
  in.AttachStream(&stream);
  in.BeginRead();
  std::vector<uint8_t> dest(3000);
  bool ended = true;
  EXPECT_EQ(ReadFull(&in, dest.data(), 3000, ended), 3000u);
  EXPECT_FALSE(ended);
  EXPECT_EQ(ReadFull(&in, dest.data(), 3000, ended), 1000u);
  EXPECT_TRUE(ended);
  EXPECT_EQ(ReadInto(&in, dest.data(), 100), 0u);
  in.EndRead();
}
