#include "conversion/batch_run.h"

#include <gtest/gtest.h>

#include <set>

#include "conversion/script_view.h"
#include "support/peers.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

// A run of Files in Mode on Lanes lanes, each lane with its own view.
struct Lanes {
  std::vector<ScriptView> Views;
  std::unique_ptr<TBatchRun> Run;
  std::vector<int> Percents;  // the run's percentage at every report
  Lanes(int Count, TConversionMode Mode, const std::vector<std::string>& Files,
        std::shared_ptr<const TRunValues> Values = Batch::Values())
      : Views(static_cast<size_t>(Count)) {
    Run = std::make_unique<TBatchRun>(Batch::Plan(Mode, Files), Values, Count, [this](int Lane) {
      return std::shared_ptr<IBatchView>(std::shared_ptr<void>(), &Views[static_cast<size_t>(Lane)]);
    });
    for (ScriptView& v : Views) v.OnProgress = [this] { Percents.push_back(Run->Percent()); };
    Run->SetDoneDelay(0);
    Run->Start();
  }
  bool Finish() {
    return ui_thread::ProcessUntil([&] { return Run->Closed(); }, std::chrono::seconds(60));
  }
  std::vector<TFileResult> Results() const {
    std::vector<TFileResult> all;
    for (const ScriptView& v : Views) all.insert(all.end(), v.Results.begin(), v.Results.end());
    return all;
  }
};

}  // namespace

// Two lanes over one queue: every file converted once with its own title,
// both lanes used, the count and the batch's percentage only going up (this
// test also runs under ThreadSanitizer).
TEST(BatchRun, TwoLanesShareOneQueue) {
  Batch b;
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) files.push_back(b.Wav("f" + std::to_string(i) + ".wav", 0.3 + 0.1 * i));
  Lanes run(2, cmWavToMp3, files);
  int closed = 0;
  run.Run->OnClosed = [&] { ++closed; };
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(closed, 1);
  std::set<std::string> outputs;
  for (const TFileResult& r : run.Results()) {
    EXPECT_EQ(r.Outcome, TFileOutcome::Converted) << r.Message;
    outputs.insert(r.Output);
    EXPECT_EQ(ReadId3v1(r.Output)->Title(), BaseName(r.Output));
  }
  EXPECT_EQ(outputs.size(), files.size());
  EXPECT_FALSE(run.Views[0].Results.empty());
  EXPECT_FALSE(run.Views[1].Results.empty());
  EXPECT_EQ(run.Run->Finished(), 5);
  EXPECT_EQ(run.Run->Percent(), 100);
  ASSERT_FALSE(run.Percents.empty());
  EXPECT_TRUE(std::is_sorted(run.Percents.begin(), run.Percents.end()));
  // Each view's count of files dealt with is the run's, so the last is 5.
  EXPECT_EQ(std::max(run.Views[0].Completed.back(), run.Views[1].Completed.back()), 5);
}

// While one lane's overwrite question is open (its answer running the loop,
// as a modal box does), another lane that reaches its next file waits
// instead of asking too; every question is asked in turn.
TEST(BatchRun, OneOverwriteQuestionAtATime) {
  Batch b;
  std::vector<std::string> files = {b.Wav("a.wav", 0.5), b.Wav("b.wav", 0.5), b.Wav("c.wav", 0.5)};
  WriteText(b.Out + "/b.mp3", "old");
  WriteText(b.Out + "/c.mp3", "old");
  Lanes run(2, cmWavToMp3, files);
  int open = 0, most = 0;
  std::vector<std::string> asked;
  for (ScriptView& v : run.Views)
    v.Ask = [&](const std::string& Path) {
      asked.push_back(FileNamePart(Path));
      most = std::max(most, ++open);
      // The other lane converts meanwhile; its next step must wait.
      EXPECT_TRUE(
          ui_thread::ProcessUntil([&] { return run.Run->Waiting() > 0 || open > 1; }, std::chrono::seconds(30)));
      --open;
      return true;
    };
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(asked, std::vector<std::string>({"b.mp3", "c.mp3"}));
  EXPECT_EQ(most, 1);
  for (const TFileResult& r : run.Results()) EXPECT_EQ(r.Outcome, TFileOutcome::Converted) << r.Message;
}

// The run reads the values it was made with: Settings and TagValues changed
// after it was made (by the window, or by another run) do not reach it.
TEST(BatchRun, LanesReadTheRunsValuesNotTheProcessWideOnes) {
  Batch b;
  TagValues.TagArtist = "Made";
  Settings.ConstantBitRate = 2;  // 64 kbit/s
  const std::vector<std::string> files = {b.Wav("one.wav", 1), b.Wav("two.wav", 1)};
  Lanes run(2, cmWavToMp3, files);
  TagValues.TagArtist = "Later";
  Settings.ConstantBitRate = 8;
  Settings.OutputFolder = b.Dir.File("elsewhere");
  ASSERT_TRUE(run.Finish());
  for (const char* name : {"one", "two"}) {
    const std::string mp3 = b.Out + "/" + name + ".mp3";
    EXPECT_EQ(ReadId3v1(mp3)->Artist(), "Made");
    EXPECT_EQ(ProbeFields(mp3)["bit_rate"], "64000");
  }
}

// Stop ends every lane: the running files are reported stopped, the queued
// ones are not started, and the run closes once.
TEST(BatchRun, StopEndsEveryLane) {
  Batch b;
  std::vector<std::string> files;
  for (int i = 0; i < 4; ++i) files.push_back(b.Wav("long" + std::to_string(i) + ".wav", 20));
  Lanes run(2, cmWavToMp3, files);
  int closed = 0;
  run.Run->OnClosed = [&] { ++closed; };
  ASSERT_TRUE(
      ui_thread::ProcessUntil([&] { return run.Views[0].Started && run.Views[1].Started; }, std::chrono::seconds(30)));
  run.Run->Stop();
  EXPECT_TRUE(run.Run->Closed());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(run.Run->NotStarted().size(), 2u);
  for (const TFileResult& r : run.Results()) EXPECT_EQ(r.Outcome, TFileOutcome::Failed);
  for (const auto& e : fs::directory_iterator(b.Out))
    EXPECT_EQ(e.path().filename().string().find(".tonvale-"), std::string::npos) << e.path();
}

// A run of fewer long WAVs than lanes lends the idle lanes to them (the file
// is then encoded in segments) and writes what one pass writes; a short
// file, one at a rate MPEG-1 has not or the setting off leave every file on
// its own lane.
TEST(BatchRun, IdleLanesGoToALongFile) {
  Batch b;
  auto wav = [&](const std::string& Name, double Seconds, int Rate) {
    MakeAudio(b.Dir.File(Name), Seconds, Rate, 2, "-c:a pcm_s16le -f wav");
    return b.Dir.File(Name);
  };
  const std::string wide = wav("long.wav", 125, 44100), out = b.Out + "/long.mp3";
  auto lent = [&](const std::vector<std::string>& Files) {
    for (const auto& e : fs::directory_iterator(b.Out)) fs::remove(e.path());
    Lanes run(2, cmWavToMp3, Files);
    int most = 0;
    EXPECT_TRUE(ui_thread::ProcessUntil(
        [&] {
          most = std::max(most, run.Run->LentLanes());
          return run.Run->Closed();
        },
        std::chrono::seconds(120)));
    EXPECT_EQ(run.Run->LentLanes(), 0) << "given back";
    return most;
  };
  Settings.SegmentLongFiles = false;
  EXPECT_EQ(lent({wide}), 0);
  const auto onePass = ReadBytes(out);
  Settings.SegmentLongFiles = true;
  EXPECT_EQ(lent({wide}), 1);
  EXPECT_TRUE(ReadBytes(out) == onePass) << "the same bytes, tags included";
  EXPECT_EQ(lent({wav("short.wav", 110, 44100)}), 0);
  EXPECT_EQ(lent({wav("narrow.wav", 125, 22050)}), 0);
}

// The last files of a batch: a long file starts while the other lane is busy
// with a short one, and that lane, left without a file, joins it; the file
// is still the single pass's, byte for byte (also under ThreadSanitizer).
TEST(BatchRun, AFreedLaneJoinsTheRunningLongFile) {
  Batch b;
  MakeAudio(b.Dir.File("long.wav"), 180, 44100, 2, "-c:a pcm_s16le -f wav");
  MakeAudio(b.Dir.File("short.wav"), 10, 44100, 2, "-c:a pcm_s16le -f wav");
  auto encode = [&](bool Segments) {
    for (const auto& e : fs::directory_iterator(b.Out)) fs::remove(e.path());
    Settings.SegmentLongFiles = Segments;
    Lanes run(2, cmWavToMp3, {b.Dir.File("long.wav"), b.Dir.File("short.wav")});
    EXPECT_TRUE(run.Finish());
    for (const TFileResult& r : run.Results()) EXPECT_EQ(r.Outcome, TFileOutcome::Converted) << r.Message;
    EXPECT_EQ(run.Run->LentLanes(), 0) << "given back";
    return std::make_pair(run.Run->MostWorkers(), ReadBytes(b.Out + "/long.mp3"));
  };
  const auto onePass = encode(false), joined = encode(true);
  EXPECT_EQ(onePass.first, 1);
  EXPECT_EQ(joined.first, 2);
  EXPECT_TRUE(joined.second == onePass.second);
}
