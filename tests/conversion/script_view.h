#pragma once
// What the batch tests share: a view that answers the overwrite question from
// a script and records what it is shown, a batch folder with its settings,
// and the ID3v1 tag of an output.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "conversion/batch_driver.h"
#include "conversion/conversion_run.h"
#include "conversion/conversion_modes.h"
#include "platform/ui_thread.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "support/audio_fixtures.h"
#include "support/temp_dir.h"
#include "tags/id3v1_tags.h"

namespace tonvale::test {

namespace fs = std::filesystem;

// A view that answers the overwrite question from a script and records
// what it is shown.
struct ScriptView : IBatchView {
  std::map<std::string, bool> Answers;  // output file name -> replace?
  std::vector<TFileResult> Results;
  std::vector<int> Completed;
  std::vector<std::string> Asked, OutputNames, Folders;
  int Selected = -1;
  bool Closed = false;
  bool Started = false;  // a file of this view has reported progress
  std::function<void()> OnProgress;
  std::function<bool(const std::string& Path)> Ask;  // answers instead of Answers
  void ShowInputFileName(const std::string&) override {}
  void ShowOutputFileName(const std::string& N) override { OutputNames.push_back(N); }
  void ShowOutputFolder(const std::string& F) override { Folders.push_back(F); }
  void ShowSelectedTracks(int C) override { Selected = C; }
  void ShowCompleted(int C) override { Completed.push_back(C); }
  void ShowProgressCaption(const std::string&) override {}
  void ShowProgress(int) override {
    Started = true;
    if (OnProgress) OnProgress();
  }
  bool ConfirmOverwrite(const std::string& Path) override {
    Asked.push_back(Path);
    if (Ask) return Ask(Path);
    auto it = Answers.find(FileNamePart(Path));
    return it != Answers.end() && it->second;
  }
  void FileFinished(const TFileResult& R) override { Results.push_back(R); }
  void BatchClosed() override { Closed = true; }
  std::vector<TFileOutcome> Outcomes() const {
    std::vector<TFileOutcome> o;
    for (auto& r : Results) o.push_back(r.Outcome);
    return o;
  }
};

struct Batch {
  TempDir Dir;
  std::string Out = Dir.File("out");
  Batch() {
    fs::create_directories(Out);
    Settings = DefaultSettings();
    Settings.OutputFolder = Out;
    ResetTagValues();
  }
  // The plan of Files in Mode with the settings as they stand.
  static TPlanRequest PlanRequest(TConversionMode Mode, const std::vector<std::string>& Files) {
    TPlanRequest r;
    r.Sources = Files;
    r.Mode = Mode;
    r.SameAsInputFolder = Settings.SameAsInputFolder;
    r.OutputFolder = Settings.OutputFolder;
    return r;
  }
  static std::shared_ptr<const TRunPlan> Plan(TConversionMode Mode, const std::vector<std::string>& Files) {
    return std::make_shared<const TRunPlan>(PlanRun(PlanRequest(Mode, Files)));
  }
  static std::shared_ptr<const TRunValues> Values() {
    return std::make_shared<const TRunValues>(TRunValues::Current());
  }
  // Runs Files in Mode to the end of the run, on one lane, with the tag
  // values as they stand; files the plan refuses are told of first.
  bool Run(ScriptView& View, TConversionMode Mode, const std::vector<std::string>& Files) {
    TRunRequest request{PlanRequest(Mode, Files), TRunValues::Current()};
    request.Values.Jobs = 1;
    TConversionRun run(request);
    run.DoneDelay = 0;
    run.EditTags = [](TConversionMode, const std::vector<TPlannedFile>&, TTagValues& Tags) {
      Tags = TagValues;
      return true;
    };
    run.Start([&View](int) { return std::shared_ptr<IBatchView>(std::shared_ptr<void>(), &View); });
    return ui_thread::ProcessUntil([&] { return run.Closed(); }, std::chrono::seconds(60));
  }
  std::string Wav(const std::string& Name, double Seconds = 0.5) {
    const std::string path = Dir.File(Name);
    fs::create_directories(fs::path(path).parent_path());
    MakeAudio(path, Seconds, 22050, 2, "-c:a pcm_s16le -f wav");
    return path;
  }
};

inline std::unique_ptr<TId3v1Tags> ReadId3v1(const std::string& Path) {
  auto t = std::make_unique<TId3v1Tags>();
  FILE* f = std::fopen(Path.c_str(), "rb");
  EXPECT_TRUE(f);
  if (f) {
    EXPECT_TRUE(t->ReadFromFile(fileno(f))) << Path;
    std::fclose(f);
  }
  return t;
}

}  // namespace tonvale::test
