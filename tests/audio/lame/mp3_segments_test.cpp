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

// Sets Out up as the conversion does; Lanes 1 is the single pass.
void Prepare(TMP3Out& Out, const std::string& Wav, const std::string& Mp3, TMP3BitRate Rate, int Lanes,
             TMP3Mode Mode = JOINT_STEREO) {
  Out.SetFileName(Mp3);
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
           TMP3Mode Mode = JOINT_STEREO) {
  TWaveIn in(nullptr);
  in.SetFileName(Wav);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  Prepare(out, Wav, Mp3, Rate, Lanes, Mode);
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
    EXPECT_GE(plan[k].First - plan[k].LeadIn, 160);
    EXPECT_EQ(plan[k - 1].End, plan[k].First);
    EXPECT_EQ(plan[k - 1].FeedEnd, (plan[k].First + 2) * 1152);
  }
  EXPECT_EQ(plan.back().End, -1);
  EXPECT_EQ(plan.back().FeedEnd, samples);
}
