#include "conversion/batch_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "conversion/script_view.h"
#include "support/peers.h"

using namespace tonvale;
using namespace tonvale::test;
namespace fs = std::filesystem;

TEST(BatchDriver, NamesOutputsAndTagsEveryMp3) {
  Batch b;
  ScriptView view;
  std::vector<std::string> files = {b.Wav("song.final.wav"), b.Wav("noext")};
  ASSERT_TRUE(b.Run(view, cmWavToMp3, files));
  EXPECT_TRUE(view.Closed);
  EXPECT_EQ(view.Selected, 2);
  EXPECT_TRUE(std::is_sorted(view.Completed.begin(), view.Completed.end()));
  EXPECT_EQ(view.Completed.back(), 2);
  ASSERT_EQ(view.Outcomes(), std::vector<TFileOutcome>({TFileOutcome::Converted, TFileOutcome::Converted}));
  EXPECT_EQ(view.Results[0].Output, b.Out + "/song.final.mp3");
  EXPECT_EQ(view.Results[1].Output, b.Out + "/noext.mp3");
  for (const auto& r : view.Results) {
    auto tag = ReadId3v1(r.Output);
    EXPECT_EQ(tag->Title(), BaseName(r.Output));
    EXPECT_EQ(tag->Artist(), "");
    EXPECT_EQ(tag->Track(), 0);
    EXPECT_EQ(tag->AsInteger("genre"), 255);
    EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + Quote(r.Output)), "mp3\n");
  }
}

TEST(BatchDriver, TrackValuesAndTheTagEditorsValues) {
  Batch b;
  // A number outside one byte is no track, not its low byte (300 gave 44).
  for (auto [track, expected] : {std::pair{"7", 7}, std::pair{"x", 0}, std::pair{"300", 0}, std::pair{"-5", 0}}) {
    ScriptView view;
    ResetTagValues();
    TagValues.TagTrack = track;
    TagValues.TagArtist = "Someone";
    TagValues.TagGenreIndex = 18;
    view.Answers["one.mp3"] = true;
    ASSERT_TRUE(b.Run(view, cmWavToMp3, {b.Wav("one.wav", 0.2)}));
    auto tag = ReadId3v1(b.Out + "/one.mp3");
    EXPECT_EQ(tag->Track(), expected) << track;
    EXPECT_EQ(tag->Artist(), "Someone");
    EXPECT_EQ(tag->Genre(), "Blues");
  }
}

TEST(BatchDriver, WmaToMp3TakesEachSourcesOwnTags) {
  Batch b;
  const std::string titled = b.Dir.File("titled.wma"), untitled = b.Dir.File("untitled.wma");
  MakeAudio(titled, 0.5, 44100, 2, "-c:a wmav2 -metadata Title=Own -metadata Author=Band -metadata WM/Genre=rock");
  MakeAudio(untitled, 0.5, 44100, 2, "-c:a wmav2 -metadata Author=Other");
  ScriptView view;
  ASSERT_TRUE(b.Run(view, cmWmaToMp3, {titled, untitled}));
  ASSERT_EQ(view.Outcomes(), std::vector<TFileOutcome>({TFileOutcome::Converted, TFileOutcome::Converted}));
  auto first = ReadId3v1(b.Out + "/titled.mp3");
  EXPECT_EQ(first->Title(), "Own");
  EXPECT_EQ(first->Artist(), "Band");
  EXPECT_EQ(first->Genre(), "Rock");
  auto second = ReadId3v1(b.Out + "/untitled.mp3");
  EXPECT_EQ(second->Title(), "untitled");
  EXPECT_EQ(second->Artist(), "Other");
}

TEST(BatchDriver, Mp3ToWmaCarriesEachSourcesTags) {
  Batch b;
  const std::string a = b.Dir.File("a.mp3"), c = b.Dir.File("c.mp3");
  MakeAudio(a, 0.5, 44100, 2, "-c:a libmp3lame -metadata title=First -metadata artist=X");
  MakeAudio(c, 0.5, 44100, 1, "-c:a libmp3lame");
  ScriptView view;
  ASSERT_TRUE(b.Run(view, cmMp3ToWma, {a, c}));
  auto tags = Python(
      "from mutagen.asf import ASF\n"
      "for f in ['" +
      b.Out + "/a.wma', '" + b.Out +
      "/c.wma']:\n"
      "  t = ASF(f); a = [str(v) for v in t.get('Author', []) if str(v)]; print(str(t['Title'][0]), a[0] if a else "
      "'-')\n");
  EXPECT_EQ(tags, "First X\nc -\n");
}

TEST(BatchDriver, OverwriteQuestionAndOutputFolders) {
  Batch b;
  std::vector<std::string> files = {b.Wav("x/one.wav"), b.Wav("y/two.wav"), b.Wav("three.wav")};
  WriteText(b.Out + "/two.mp3", "keep me");
  WriteText(b.Out + "/three.mp3", "keep me too");
  ScriptView view;
  view.Answers = {{"two.mp3", false}, {"three.mp3", false}};
  ASSERT_TRUE(b.Run(view, cmWavToMp3, files));
  EXPECT_EQ(view.Asked, std::vector<std::string>({b.Out + "/two.mp3", b.Out + "/three.mp3"}));
  EXPECT_EQ(view.Outcomes(),
            std::vector<TFileOutcome>({TFileOutcome::Converted, TFileOutcome::Skipped, TFileOutcome::Skipped}));
  EXPECT_EQ(ReadBytes(b.Out + "/two.mp3").size(), 7u) << "left byte for byte";
  EXPECT_TRUE(view.Closed) << "No for the last file ends the batch";
  EXPECT_TRUE(std::is_sorted(view.Completed.begin(), view.Completed.end()));
  EXPECT_EQ(view.Completed.back(), 3);

  // Beside each source, whatever folder it is in.
  Settings.SameAsInputFolder = true;
  ScriptView beside;
  ASSERT_TRUE(b.Run(beside, cmWavToWma, {files[0], files[1]}));
  EXPECT_TRUE(fs::exists(b.Dir.File("x/one.wma")));
  EXPECT_TRUE(fs::exists(b.Dir.File("y/two.wma")));
  // An output folder given with its trailing delimiter names the same files.
  Settings.SameAsInputFolder = false;
  Settings.OutputFolder = b.Out + "/";
  ScriptView slash;
  ASSERT_TRUE(b.Run(slash, cmWavToWma, {files[2]}));
  EXPECT_EQ(slash.Results[0].Output, b.Out + "/three.wma");
}

TEST(BatchDriver, FailuresAreReportedAndTheNextFileStartsClean) {
  Batch b;
  const std::string junk = b.Dir.File("junk.wav");
  WriteText(junk, std::string(5000, 'j'));
  const std::string missing = b.Dir.File("missing.wav");
  ScriptView view;
  ASSERT_TRUE(b.Run(view, cmWavToMp3, {junk, missing, b.Wav("good.wav")}));
  ASSERT_EQ(view.Outcomes(),
            std::vector<TFileOutcome>({TFileOutcome::Failed, TFileOutcome::Failed, TFileOutcome::Converted}));
  EXPECT_NE(view.Results[0].Message.find("Cannot read"), std::string::npos) << view.Results[0].Message;
  EXPECT_EQ(view.Results[1].Message, "Cannot open file " + missing + ": No such file or directory");
  EXPECT_FALSE(fs::exists(b.Out + "/junk.mp3")) << "no output for a source that cannot be read";
  EXPECT_FALSE(fs::exists(b.Out + "/missing.mp3"));

  // A run that fails inside (here: a folder stands where its output goes) is
  // followed by a file that converts whole.
  ScriptView view2;
  fs::create_directories(b.Out + "/a.wma");
  view2.Answers["a.wma"] = true;
  ASSERT_TRUE(b.Run(view2, cmWavToWma, {b.Wav("a.wav", 1.0), b.Wav("b.wav", 1.0)}));
  ASSERT_EQ(view2.Outcomes(), std::vector<TFileOutcome>({TFileOutcome::Failed, TFileOutcome::Converted}));
  EXPECT_EQ(view2.Results[0].Message, "Cannot create file " + b.Out + "/a.wma: a folder of that name stands there");
  auto decoded = FfmpegDecode(view2.Results[1].Output);
  EXPECT_GT(decoded.size(), 2u * 22050 * 9 / 10) << "the second file is whole";
}

TEST(BatchDriver, NeverWritesOverItsSource) {
  Batch b;
  Settings.SameAsInputFolder = true;
  const std::string wav = b.Wav("same.wav");
  const auto before = ReadBytes(wav);
  ScriptView view;
  view.Answers["same.wav"] = true;
  ASSERT_TRUE(b.Run(view, cmMp3ToWav, {wav}));  // a WAV chosen through "any file"
  ASSERT_EQ(view.Results.size(), 1u);
  EXPECT_EQ(view.Results[0].Outcome, TFileOutcome::Skipped);
  EXPECT_EQ(view.Results[0].Reason, TReason::AlreadyTargetType);
  EXPECT_EQ(ReadBytes(wav), before);
}

TEST(BatchDriver, StopWaitsForTheRunningOutputAndKeepsThePartialFile) {
  Batch b;
  const std::string wav = b.Wav("long.wav", 30);
  ScriptView view;
  TBatchDriver driver(view, Batch::Values(), Batch::Plan(cmWavToMp3, {wav, b.Wav("next.wav")}));
  driver.SetDoneDelay(0);
  driver.Start();
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return driver.MP3Out1.Running(); }, std::chrono::seconds(10)));
  driver.bStopClick();
  EXPECT_FALSE(driver.MP3Out1.Running());
  EXPECT_TRUE(view.Closed);
  ASSERT_EQ(view.Results.size(), 1u);
  EXPECT_EQ(view.Results[0].Outcome, TFileOutcome::Failed);
  EXPECT_TRUE(fs::exists(b.Out + "/long.mp3"));
  ui_thread::ProcessUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(view.Results.size(), 1u) << "nothing more after the stop";
  EXPECT_FALSE(fs::exists(b.Out + "/next.mp3"));
}

// A driver used to post its first step from its constructor, so whatever
// its maker set afterwards raced with that step.
TEST(BatchDriver, NothingRunsBeforeStartAndADriverStartsOnce) {
  Batch b;
  ScriptView view;
  ui_thread::ProcessMessages();
  TBatchDriver driver(view, Batch::Values(), Batch::Plan(cmWavToMp3, {b.Wav("a.wav")}));
  EXPECT_FALSE(ui_thread::ProcessMessages()) << "a step was queued before Start";
  driver.SetDoneDelay(0);
  driver.Start();
  EXPECT_THROW(driver.Start(), std::logic_error);
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return driver.Closed(); }, std::chrono::seconds(60)));
  ASSERT_EQ(view.Results.size(), 1u);
  EXPECT_EQ(view.Results[0].Outcome, TFileOutcome::Converted);
  EXPECT_TRUE(fs::exists(b.Out + "/a.mp3"));
  EXPECT_FALSE(fs::exists(b.Out + "/a.wma"));
}

TEST(BatchDriver, AValueOfNoModeStartsNothing) {
  Batch b;
  const auto plan = Batch::Plan(static_cast<TConversionMode>(5), {b.Wav("a.wav")});
  EXPECT_TRUE(plan->Files.empty());
  ASSERT_EQ(plan->Refused.size(), 1u);
  EXPECT_EQ(plan->Refused[0].Reason, TReason::UnknownType);
}
