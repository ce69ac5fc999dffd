#include "conversion/batch_run.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace tonvale {

int LanesFor(int Jobs) {
  if (Jobs > 0) return Jobs;
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// What one lane's driver shows goes to the lane's view, with the run's own
// count of files dealt with; the lane's question waits for any other.
class TBatchRun::TLaneView : public IBatchView {
 public:
  TLaneView(TBatchRun& Run, int Lane, std::shared_ptr<IBatchView> View)
      : FRun(Run), FLane(Lane), FOwned(std::move(View)), FView(*FOwned) {}
  void ShowInputFileName(const std::string& Name) override {
    FRun.FLanes[FLane].Percent = 0;
    FView.ShowInputFileName(Name);
  }
  void ShowOutputFileName(const std::string& Name) override { FView.ShowOutputFileName(Name); }
  void ShowOutputFolder(const std::string& Folder) override { FView.ShowOutputFolder(Folder); }
  void ShowPaths(const std::string& Source, const std::string& Output) override { FView.ShowPaths(Source, Output); }
  void ShowSelectedTracks(int Count) override { FView.ShowSelectedTracks(Count); }
  void ShowCompleted(int) override { FView.ShowCompleted(FRun.FFinished); }
  void ShowProgressHint(const std::string& Hint) override { FView.ShowProgressHint(Hint); }
  void ShowProgressCaption(const std::string& Caption) override { FView.ShowProgressCaption(Caption); }
  void ShowProgress(int Percent) override {
    if (Percent >= 0) FRun.FLanes[FLane].Percent = std::min(Percent, 100);
    FView.ShowProgress(Percent);
  }
  bool ConfirmOverwrite(const std::string& Path) override {
    // The other lanes' steps wait while the question is open, however it ends.
    struct TAsking {
      TBatchRun& Run;
      explicit TAsking(TBatchRun& R) : Run(R) { Run.FAsking = true; }
      ~TAsking() { Run.QuestionEnded(); }
    } asking(FRun);
    return FView.ConfirmOverwrite(Path);
  }
  void FileFinished(const TFileResult& Result) override {
    FRun.FLanes[FLane].Percent = 0;
    FRun.FMostWorkers = std::max(FRun.FMostWorkers, FRun.FLanes[FLane].Driver->LastWorkers());
    FRun.GiveBack(FLane);
    ++FRun.FFinished;
    FView.FileFinished(Result);
    FView.ShowCompleted(FRun.FFinished);
  }
  void BatchClosed() override {
    FRun.GiveBack(FLane);
    FView.BatchClosed();
    FRun.LaneClosed();
  }

 private:
  TBatchRun& FRun;
  int FLane;
  std::shared_ptr<IBatchView> FOwned;
  IBatchView& FView;
};

TBatchRun::TBatchRun(std::shared_ptr<const TRunPlan> Plan, const std::shared_ptr<const TRunValues>& Values, int Lanes,
                     const std::function<std::shared_ptr<IBatchView>(int Lane)>& ViewOf)
    : FPlan(std::move(Plan)), FQueue(FPlan->Files.begin(), FPlan->Files.end()), FRequested(std::max(1, Lanes)) {
  const int count = std::max(1, std::min(Lanes, static_cast<int>(FPlan->Files.size())));
  FLanes.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    TLane& lane = FLanes[static_cast<size_t>(i)];
    lane.View = std::make_unique<TLaneView>(*this, i, ViewOf(i));
    lane.Driver = std::make_unique<TBatchDriver>(*lane.View, Values, FPlan);
  }
}

void TBatchRun::Start(std::function<bool()> StopRequested) {
  TBatchHooks hooks;
  hooks.StopRequested = std::move(StopRequested);
  hooks.HoldSteps = [this] { return FAsking; };
  for (size_t i = 0; i < FLanes.size(); ++i) {
    hooks.NextFile = [this, i](TPlannedFile& File) {
      if (FQueue.empty()) {
        LendCore(i);
        return false;
      }
      File = FQueue.front();
      FQueue.pop_front();
      return true;
    };
    // A lane with no file to come is idle: those no other file will take
    // may work on this lane's file. Among the last files of the batch a long
    // one is cut for every lane, so lanes that come free later can join it.
    hooks.BorrowLanes = [this, i](int Wanted) {
      const int idle = FRequested - (Lanes() - FClosedLanes) - static_cast<int>(FQueue.size()) - FLent;
      const int lent = std::clamp(std::min(Wanted, idle), 0, FRequested);
      FLanes[i].Lent += lent;
      FLent += lent;
      return TLanesLent{lent, static_cast<int>(FQueue.size()) < FRequested ? FRequested : 0};
    };
    FLanes[i].Driver->Start(hooks);
  }
}

void TBatchRun::LendCore(size_t Lane) {
  // The lane closes next; its core goes to the first file that still has
  // segments to start, and comes back when that file ends.
  for (size_t j = 0; j < FLanes.size(); ++j) {
    if (j == Lane || !FLanes[j].Driver->LendCore()) continue;
    ++FLanes[j].Lent;
    ++FLent;
    return;
  }
}

void TBatchRun::GiveBack(int Lane) {
  FLent -= FLanes[static_cast<size_t>(Lane)].Lent;
  FLanes[static_cast<size_t>(Lane)].Lent = 0;
}

TBatchRun::~TBatchRun() {
  // Each driver stops its output before the views it reports to go.
  for (TLane& lane : FLanes) lane.Driver.reset();
}

void TBatchRun::SetDoneDelay(int Milliseconds) {
  for (TLane& lane : FLanes) lane.Driver->SetDoneDelay(Milliseconds);
}

void TBatchRun::Stop() {
  for (TLane& lane : FLanes) lane.Driver->bStopClick();
}

bool TBatchRun::Closed() const {
  return std::all_of(FLanes.begin(), FLanes.end(), [](const TLane& L) { return L.Driver->Closed(); });
}

int TBatchRun::Percent() const {
  if (FPlan->Files.empty()) return 100;
  long sum = 100L * FFinished;
  for (const TLane& lane : FLanes) sum += lane.Percent;
  return static_cast<int>(std::min<long>(100, sum / static_cast<long>(FPlan->Files.size())));
}

int TBatchRun::AwaitingReport() const {
  return static_cast<int>(
      std::count_if(FLanes.begin(), FLanes.end(), [](const TLane& L) { return L.Driver->AwaitingReport(); }));
}

int TBatchRun::Waiting() const {
  return static_cast<int>(
      std::count_if(FLanes.begin(), FLanes.end(), [](const TLane& L) { return L.Driver->HasHeldSteps(); }));
}

void TBatchRun::QuestionEnded() {
  FAsking = false;
  for (TLane& lane : FLanes) lane.Driver->ReleaseHeldSteps();
}

void TBatchRun::LaneClosed() {
  if (++FClosedLanes == Lanes() && OnClosed) OnClosed();
}

}  // namespace tonvale
