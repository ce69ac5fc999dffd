#include "conversion/conversion_run.h"

#include <filesystem>

#include "audio/wave/wave_in.h"
#include "audio/winmedia/wm_in.h"
#include "conversion/file_checks.h"
#include "conversion/tag_preparation.h"
#include "platform/ui_thread.h"

namespace tonvale {
namespace {

std::vector<std::string> SourcesOf(const std::vector<TPlannedFile>& Files) {
  std::vector<std::string> sources;
  sources.reserve(Files.size());
  for (const TPlannedFile& f : Files) sources.push_back(f.Source);
  return sources;
}

bool Exists(const std::string& Path) {
  std::error_code ec;
  // A link, even one that leads nowhere, is an existing file.
  return std::filesystem::exists(std::filesystem::symlink_status(Path, ec));
}

// The values of one batch: the run's, with its files' tag values prepared.
// An error reading a single source's tags is returned in Error.
std::shared_ptr<TRunValues> BatchValues(const TRunValues& Run, TConversionMode Mode,
                                        const std::vector<TPlannedFile>& Files, std::string& Error) {
  auto values = std::make_shared<TRunValues>(Run);
  values->PerFileTags = Files.size() > 1 && !values->Settings.IsSameTag;
  try {
    values->Tags = PreparedTagValues(Mode, SourcesOf(Files));
  } catch (const std::exception& e) {
    Error = e.what();
  }
  values->Overrides.ApplyTo(values->Tags);
  return values;
}

}  // namespace

// A lane's view as the face made it, with every outcome also kept by the run.
class TConversionRun::TRecordingView : public IBatchView {
 public:
  TRecordingView(TConversionRun& Run, std::shared_ptr<IBatchView> View) : FRun(Run), FView(std::move(View)) {}
  void ShowInputFileName(const std::string& Name) override { FView->ShowInputFileName(Name); }
  void ShowOutputFileName(const std::string& Name) override { FView->ShowOutputFileName(Name); }
  void ShowOutputFolder(const std::string& Folder) override { FView->ShowOutputFolder(Folder); }
  void ShowPaths(const std::string& Source, const std::string& Output) override { FView->ShowPaths(Source, Output); }
  void ShowSelectedTracks(int Count) override { FView->ShowSelectedTracks(Count); }
  void ShowCompleted(int Count) override { FView->ShowCompleted(Count); }
  void ShowProgressHint(const std::string& Hint) override { FView->ShowProgressHint(Hint); }
  void ShowProgressCaption(const std::string& Caption) override { FView->ShowProgressCaption(Caption); }
  void ShowProgress(int Percent) override { FView->ShowProgress(Percent); }
  bool ConfirmOverwrite(const std::string& Path) override { return FView->ConfirmOverwrite(Path); }
  void FileFinished(const TFileResult& Result) override {
    FRun.FResults.push_back(Result);
    FView->FileFinished(Result);
  }
  void BatchClosed() override { FView->BatchClosed(); }

 private:
  TConversionRun& FRun;
  std::shared_ptr<IBatchView> FView;
};

TConversionRun::TConversionRun(TRunRequest Request)
    : FPlan(std::make_shared<const TRunPlan>(PlanRun(Request.Plan))),
      FValues(std::move(Request.Values)),
      FModes(FPlan->Modes()),
      FSelf(std::make_shared<TConversionRun*>(this)) {}

TConversionRun::~TConversionRun() {
  *FSelf = nullptr;
  // Each lane stops its output before the views it reports to go.
  FBatch.reset();
}

std::shared_ptr<IBatchView> TConversionRun::View(int Lane) {
  const auto index = static_cast<size_t>(Lane) + 1;
  if (FViews.size() <= index) FViews.resize(index + 1);
  if (!FViews[index]) FViews[index] = FViewOf(Lane);
  return FViews[index];
}

void TConversionRun::Report(const TFileResult& Result) {
  FResults.push_back(Result);
  View(-1)->FileFinished(Result);
}

bool TConversionRun::Start(TViewFactory ViewOf) {
  if (FStarted) throw std::logic_error("TConversionRun::Start called twice");
  FStarted = true;
  FViewOf = std::move(ViewOf);
  // A refusal's message names the output it is about; the file has none.
  for (TFileResult r : FPlan->Refused) {
    r.Output.clear();
    Report(r);
  }
  if (FModes.empty()) {
    ui_thread::Post([self = FSelf] {
      if (*self) (*self)->Close();
    });
    return true;
  }
  if (!StartBatch(FNext++)) {
    FClosed = true;
    return false;
  }
  return true;
}

bool TConversionRun::StartBatch(size_t Index) {
  const TConversionMode mode = FModes[Index];
  const std::vector<TPlannedFile> files = FPlan->FilesOf(mode);
  std::string error;
  auto values = BatchValues(FValues, mode, files, error);
  if (!error.empty()) {
    for (const TPlannedFile& f : files) Report({f.Source, f.Output, TFileOutcome::Failed, TReason::CannotRead, error});
    ui_thread::Post([self = FSelf] {
      if (*self) (*self)->BatchEnded();
    });
    return true;
  }
  if (EditTags && !EditTags(mode, files, values->Tags)) return false;
  auto plan = std::make_shared<TRunPlan>(*FPlan);
  plan->Files = files;
  FBatch = std::make_unique<TBatchRun>(plan, values, LanesFor(values->Jobs), [this](int Lane) {
    return std::make_shared<TRecordingView>(*this, View(Lane));
  });
  if (DoneDelay >= 0) FBatch->SetDoneDelay(DoneDelay);
  FBatch->OnClosed = [self = FSelf] {
    // The batch's last lane is still on its way out: the next one starts
    // from the loop.
    ui_thread::Post([self] {
      if (*self) (*self)->BatchEnded();
    });
  };
  FBatch->Start([this] { return FStopped || (StopRequested && StopRequested()); });
  return true;
}

void TConversionRun::BatchEnded() {
  if (FClosed) return;
  if (FBatch) {
    if (!FBatch->Closed()) return;
    NotStarted(FBatch->NotStarted());
    FBatch.reset();
  }
  bool stopping = FStopped || (StopRequested && StopRequested());
  while (FNext < FModes.size()) {
    const size_t next = FNext++;
    if (!stopping) {
      if (StartBatch(next)) return;
      stopping = true;  // its tags were declined: the run ends here
    }
    NotStarted(FPlan->FilesOf(FModes[next]));
  }
  Close();
}

void TConversionRun::NotStarted(const std::vector<TPlannedFile>& Files) {
  for (const TPlannedFile& f : Files)
    Report({f.Source, "", TFileOutcome::NotStarted, TReason::RunStopped, "the run was stopped"});
}

void TConversionRun::Stop() {
  FStopped = true;
  if (FBatch) FBatch->Stop();
  // The files that never started are told of now, not once the loop runs.
  if (FStarted) BatchEnded();
}

void TConversionRun::Close() {
  if (FClosed) return;
  FClosed = true;
  if (OnClosed) OnClosed();
}

std::vector<TPrediction> TConversionRun::DryRun() const {
  std::vector<TPrediction> out;
  for (const TFileResult& r : FPlan->Refused) out.push_back({r, cmNone, false});
  TWaveIn wav(nullptr);
  TMP3In mp3(nullptr);
  TWMIn wma(nullptr);
  for (const TConversionMode mode : FModes) {
    const std::vector<TPlannedFile> files = FPlan->FilesOf(mode);
    std::string error;
    const auto values = BatchValues(FValues, mode, files, error);
    const std::string source = SourceType(mode);
    TAuFileIn& input = source == "wav" ? static_cast<TAuFileIn&>(wav) : source == "mp3" ? mp3 : wma;
    for (const TPlannedFile& f : files) {
      TPrediction p{{f.Source, f.Output, TFileOutcome::Converted}, mode, Exists(f.Output)};
      TTagValues tags;
      if (!error.empty()) {
        p.Result = {f.Source, f.Output, TFileOutcome::Failed, TReason::CannotRead, error};
      } else if (auto problem = FileProblem(f, *values, *FPlan, input, tags)) {
        p.Result = *problem;
      } else if (p.OutputExists && values->Overwrite != TOverwritePolicy::Always) {
        p.Result = {f.Source, f.Output, TFileOutcome::Skipped, TReason::OutputExists,
                    f.Output + (values->Overwrite == TOverwritePolicy::Never ? " has existed"
                                                                             : " has existed: asked on a terminal")};
      }
      input.SetFileName("");
      out.push_back(p);
    }
  }
  return out;
}

}  // namespace tonvale
