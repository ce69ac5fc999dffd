#include "audio/lame/mp3_segments.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_in.h"
#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"
#include "support/wait.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

void MakeLong(const std::string& Wav, int Rate, int Seconds) {
  Shell("sh " + Quote(std::string(TONVALE_LAME_TESTS) + "/long_material.sh") + " " + Quote(Wav) + " " +
        std::to_string(Rate) + " " + std::to_string(Seconds) + " 2>/dev/null");
}

// Sets Out up as the conversion does; Lanes 1 is the single pass. Vbr: the
// VBR quality, -1 for CBR.
void Prepare(TMP3Out& Out, const std::string& Wav, const std::string& Mp3, TMP3BitRate Rate, int Lanes,
             TMP3Mode Mode = JOINT_STEREO, int Vbr = -1) {
  Out.SetFileName(Mp3);
  Out.SetEnableVBR(Vbr >= 0);  // a CBR encoder takes none of the VBR settings
  Out.SetVBRQuality(TMP3Quality(std::max(Vbr, 0)));
  Out.SetVBRMinBitrate(32);
  Out.SetVBRMaxBitrate(320);
  Out.SetMode(Mode);
  Out.SetBitRate(Rate);
  Out.LeadingTag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Out.SegmentLanes = Lanes;
  Out.SegmentSource = [Wav] {
    auto in = std::make_unique<TWaveIn>(nullptr);
    in->SetFileName(Wav);
    return std::unique_ptr<TAuFileIn>(std::move(in));
  };
}

// Encodes Wav to Mp3; returns the segments it was encoded in (0: failed).
int Encode(const std::string& Wav, const std::string& Mp3, TMP3BitRate Rate, int Lanes, bool* FellBack = nullptr,
           TMP3Mode Mode = JOINT_STEREO, int Vbr = -1) {
  TWaveIn in(nullptr);
  in.SetFileName(Wav);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  Prepare(out, Wav, Mp3, Rate, Lanes, Mode, Vbr);
  if (!RunToEnd(out) || !out.ErrorMessage().empty()) return 0;
  if (FellBack) *FellBack = out.LastFellBack();
  return out.LastSegments();
}

}  // namespace

TEST(Mp3Segments, CbrJoinIsByteIdenticalToOnePass) {
  TempDir dir;
  struct TCase {
    int Rate;
    TMP3BitRate Bits;
    int Seconds;
    TMP3Mode Mode;
  };
  for (const TCase c : {TCase{44100, br128, 181, JOINT_STEREO}, TCase{44100, br320, 185, STEREO},
                        TCase{48000, br128, 180, JOINT_STEREO}}) {
    const std::string wav = dir.File("long.wav"), single = dir.File("single.mp3"), joined = dir.File("joined.mp3");
    MakeLong(wav, c.Rate, c.Seconds);
    ASSERT_EQ(Encode(wav, single, c.Bits, 1, nullptr, c.Mode), 1);
    for (int lanes : {2, 3}) {
      bool fellBack = true;
      ASSERT_EQ(Encode(wav, joined, c.Bits, lanes, &fellBack, c.Mode), lanes) << c.Rate << " Hz";
      EXPECT_FALSE(fellBack);
      // Size, every frame, the Info tag and the ID3v2 tag before it.
      EXPECT_TRUE(ReadBytes(joined) == ReadBytes(single))
          << c.Rate << " Hz, " << BitRateKbps(c.Bits) << " kbit/s, " << lanes << " segments";
    }
  }
}

TEST(Mp3Segments, ShortSourceFallsBackToOnePass) {
  // The header promises more than the file holds: the segment reading the
  // end finds it short, and the file is encoded in one pass as it would be.
  TempDir dir;
  const std::string wav = dir.File("cut.wav"), single = dir.File("single.mp3"), joined = dir.File("joined.mp3");
  MakeLong(wav, 44100, 150);
  std::filesystem::resize_file(wav, std::filesystem::file_size(wav) - 3'000'000);
  ASSERT_EQ(Encode(wav, single, br128, 1), 1);
  bool fellBack = false;
  ASSERT_EQ(Encode(wav, joined, br128, 2, &fellBack), 1);
  EXPECT_TRUE(fellBack);
  EXPECT_TRUE(ReadBytes(joined) == ReadBytes(single));
}

TEST(Mp3Segments, StopLeavesAPlayablePartialFile) {
  TempDir dir;
  const std::string wav = dir.File("long.wav"), mp3 = dir.File("out.mp3");
  MakeLong(wav, 44100, 240);
  TWaveIn in(nullptr);
  in.SetFileName(wav);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  Prepare(out, wav, mp3, br128, 2);
  out.Run();
  ASSERT_TRUE(WaitUntil([&] { return out.Progress() >= 60; }, std::chrono::seconds(120)));
  out.Stop(false);
  EXPECT_FALSE(out.Completed());
  // No file stood there: the part written takes the name, and no temporary
  // file stays.
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(e.path().filename().string().find(".tonvale-"), std::string::npos);
  int status = -1;
  const std::string messages = Shell("ffmpeg -v error -i " + Quote(mp3) + " -f null - 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(messages, "");
  // The tag states what is there: ffprobe's duration from it matches the
  // frames decoded. Each of the two segments makes at most half of the
  // progress, so the first had encoded nearly a tenth of the four minutes.
  const double stated = std::stod(ProbeFields(mp3)["duration"]);
  const double decoded = double(FfmpegDecode(mp3).size()) / 2 / 44100;
  EXPECT_GT(decoded, 20);
  EXPECT_NEAR(stated, decoded, 0.1);
}

TEST(Mp3Segments, PlanCoversTheSourceOnThePaddingPeriod) {
  EXPECT_EQ(Mp3PaddingPeriod(128, 44100), 49);
  EXPECT_EQ(Mp3PaddingPeriod(112, 44100), 7);
  EXPECT_EQ(Mp3PaddingPeriod(320, 48000), 1);
  const int64_t samples = 10'000'000;
  const auto plan = PlanMp3Segments(samples, 3, 49);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[0].LeadIn, 0);
  for (size_t k = 1; k < plan.size(); ++k) {
    EXPECT_EQ(plan[k].LeadIn % 49, 0);
    EXPECT_GE(plan[k].First - plan[k].LeadIn, 320);
    EXPECT_EQ(plan[k - 1].End, plan[k].First);
    EXPECT_EQ(plan[k - 1].FeedEnd, (plan[k].First + 2) * 1152);
  }
  EXPECT_EQ(plan.back().End, -1);
  EXPECT_EQ(plan.back().FeedEnd, samples);
}

namespace {

// The Info/LAME tag after the 20-byte ID3v2 tag of Mp3, checked against the
// file: bytes, music length and both CRCs.
std::vector<uint8_t> CheckedTag(const std::string& Mp3) {
  const std::vector<uint8_t> f = ReadBytes(Mp3);
  TMp3Frame tag;
  EXPECT_TRUE(ReadMp3Frame(f.data() + 20, f.size() - 20, tag));
  const size_t x = 20 + size_t(tag.SideInfoEnd), audio = 20 + size_t(tag.Size);
  const auto get = [&](size_t At) { return uint32_t(f[At] << 8 | f[At + 1]); };
  EXPECT_EQ(get(x + 12) << 16 | get(x + 14), f.size() - 20);
  EXPECT_EQ(get(x + 148) << 16 | get(x + 150), f.size() - 20);
  EXPECT_EQ(get(x + 152), Crc16(f.data() + audio, f.size() - audio));
  EXPECT_EQ(get(x + 154), Crc16(f.data() + 20, x + 134));
  return {f.begin() + 20, f.begin() + long(audio)};
}

}  // namespace

TEST(Mp3Segments, VbrJoinDecodesLikeOnePass) {
  TempDir dir;
  const std::string wav = dir.File("long.wav"), single = dir.File("single.mp3"), joined = dir.File("joined.mp3");
  for (const auto& [rate, quality] : {std::pair{44100, 2}, std::pair{48000, 0}}) {
    MakeLong(wav, rate, 181);
    const std::vector<int16_t> source = FfmpegDecode(wav);
    ASSERT_EQ(Encode(wav, single, br128, 1, nullptr, JOINT_STEREO, quality), 1);
    const std::vector<uint8_t> singleTag = CheckedTag(single);
    const double singleSnr = SnrDb(source, FfmpegDecode(single));
    for (int lanes : {2, 3}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz -V" + std::to_string(quality) + ", " + std::to_string(lanes));
      bool fellBack = true;
      ASSERT_EQ(Encode(wav, joined, br128, lanes, &fellBack, JOINT_STEREO, quality), lanes);
      EXPECT_FALSE(fellBack);
      // Gapless: the tag's delay and padding trim the decoded stream to the
      // source's length, and its frame count is the single pass's.
      int status = -1;
      EXPECT_EQ(Shell("ffmpeg -v error -i " + Quote(joined) + " -f null - 2>&1", &status), "");
      EXPECT_EQ(status, 0);
      const std::vector<int16_t> decoded = FfmpegDecode(joined);
      EXPECT_EQ(decoded.size(), source.size());
      EXPECT_NEAR(SnrDb(source, decoded), singleSnr, 0.01);
      const std::vector<uint8_t> tag = CheckedTag(joined);
      ASSERT_EQ(tag.size(), singleTag.size());
      const size_t x = 36;
      EXPECT_TRUE(std::equal(tag.begin(), tag.begin() + x + 12, singleTag.begin()));  // "Xing", frames
      EXPECT_TRUE(std::equal(tag.begin() + x + 116, tag.begin() + x + 148, singleTag.begin() + x + 116));
    }
  }
}

namespace {

// A stereo 44.1 kHz frame (header and side info, no CRC) at bit-rate index
// Index whose data, Bytes long, begins Begin bytes before its own area.
TMp3Frame FakeFrame(int Index, int Begin, int Bytes, std::vector<uint8_t>& Head) {
  std::vector<uint8_t> frame(1500, 0);
  frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = uint8_t(Index << 4);
  frame[4] = uint8_t(Begin >> 1), frame[5] = uint8_t((Begin & 1) << 7);
  for (int g = 0; g < 4; ++g)  // each granule's part2_3_length: a quarter
    for (int i = 0; i < 12; ++i)
      if ((Bytes * 2 >> (11 - i)) & 1)
        frame[size_t(4 + (20 + 59 * g + i) / 8)] |= uint8_t(0x80 >> (20 + 59 * g + i) % 8);
  TMp3Frame f;
  EXPECT_TRUE(ReadMp3Frame(frame.data(), frame.size(), f));
  Head.assign(frame.begin(), frame.begin() + f.SideInfoEnd);
  return f;
}

}  // namespace

TEST(Mp3Segments, VbrSpliceMakesRoomForTheData) {
  // The frame before a splice fills its own area; the frame after it wants
  // its data to begin 100 bytes earlier, so it gets a higher bit rate.
  struct TCase {
    int PrevIndex, PrevSpare, NextIndex;
    int Kbps;  // the frame after the splice, 0: does not fit
  };
  for (const TCase c : {TCase{9, 100, 9, 128}, TCase{9, 0, 9, 160}, TCase{14, 0, 9, 160}, TCase{14, 0, 14, 0}}) {
    SCOPED_TRACE(std::to_string(c.PrevIndex) + " " + std::to_string(c.NextIndex));
    TMp3FrameWriter writer("3.100", true);
    TMemoryStream out;
    std::vector<uint8_t> prevHead, nextHead;
    TMp3Frame prev = FakeFrame(c.PrevIndex, 0, 0, prevHead);
    prev = FakeFrame(c.PrevIndex, 0, prev.MainArea() - c.PrevSpare, prevHead);
    TMp3Frame next = FakeFrame(c.NextIndex, 0, 0, nextHead);
    next = FakeFrame(c.NextIndex, 100, next.MainArea() + 100, nextHead);
    const std::vector<uint8_t> prevData(size_t(prev.MainDataBytes), 0x11), nextData(size_t(next.MainDataBytes), 0x22);
    ASSERT_TRUE(writer.Place(out, prevHead, prev, prevData.data()));
    ASSERT_EQ(writer.Place(out, nextHead, next, nextData.data()), c.Kbps != 0);
    if (c.Kbps == 0) continue;
    ASSERT_TRUE(writer.Finish(out, true));
    std::vector<TMp3Frame> frames;
    ASSERT_TRUE(SplitMp3Frames(out.Data(), 0, frames));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].BitRateKbps, c.PrevIndex == 14 ? 320 : 128);
    EXPECT_EQ(frames[1].BitRateKbps, c.Kbps);
    EXPECT_EQ(frames[1].MainDataBegin, c.PrevSpare);
    EXPECT_EQ(writer.Raised(), c.Kbps == 128 ? 0 : 1);
    // Each frame's data where its main_data_begin says, unused bytes zero.
    std::vector<uint8_t> stream;
    for (const TMp3Frame& f : frames)
      stream.insert(stream.end(), out.Data().begin() + long(f.Offset) + f.SideInfoEnd,
                    out.Data().begin() + long(f.Offset) + f.Size);
    std::vector<uint8_t> want(prevData);
    want.insert(want.end(), nextData.begin(), nextData.end());
    want.resize(stream.size(), 0);
    EXPECT_TRUE(stream == want);
  }
}
