#pragma once
// A whole run, the one way both faces convert: planned from a request, each
// batch of one mode given its tag values (which the face may edit), run on
// its lanes, every file's outcome reported. A dry run is the same checks
// without the writing.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversion/batch_run.h"
#include "conversion/batch_view.h"
#include "conversion/run_plan.h"
#include "conversion/run_values.h"

namespace tonvale {

struct TRunRequest {
  TPlanRequest Plan;
  TRunValues Values;  // taken as they are: nothing else is read during the run
};

// What a dry run says of one file.
struct TPrediction {
  TFileResult Result;
  TConversionMode Mode = cmNone;
  bool OutputExists = false;
};

class TConversionRun {
 public:
  // The view of a lane; lane -1 is told of the files that end without one
  // (refused by the plan, never started). The run keeps each while it runs.
  using TViewFactory = std::function<std::shared_ptr<IBatchView>(int Lane)>;

  // Plans the run; nothing is written.
  explicit TConversionRun(TRunRequest Request);
  ~TConversionRun();
  TConversionRun(const TConversionRun&) = delete;
  TConversionRun& operator=(const TConversionRun&) = delete;

  const TRunPlan& Plan() const { return *FPlan; }
  const TRunValues& Values() const { return FValues; }

  // Asked as each batch starts, with its files and prepared tag values, which
  // it may change; false ends the run there, its files not started.
  std::function<bool(TConversionMode Mode, const std::vector<TPlannedFile>& Files, TTagValues& Tags)> EditTags;
  // Asked before each step of every lane: true stops the run there.
  std::function<bool()> StopRequested;
  // Runs once, when the run has ended.
  std::function<void()> OnClosed;
  // Milliseconds each output waits before its completion report.
  int DoneDelay = -1;

  // Reports the files the plan refused, then starts the first batch; the
  // lanes' steps run once the UI thread's loop does. False when EditTags
  // declined the first batch: nothing was started.
  bool Start(TViewFactory ViewOf);
  // Every check the run makes before writing a byte, in the order a run
  // reports: what each file would end as. Writes nothing.
  std::vector<TPrediction> DryRun() const;

  // Ends the running batch (each lane stopping its output) and the run.
  void Stop();
  bool Closed() const { return FClosed; }
  // The running batch, or null before the first and after the last.
  const TBatchRun* Batch() const { return FBatch.get(); }
  TBatchRun* Batch() { return FBatch.get(); }
  int Lanes() const { return FBatch ? FBatch->Lanes() : 1; }
  // Every file's outcome so far, in the order they ended.
  const std::vector<TFileResult>& Results() const { return FResults; }

 private:
  class TRecordingView;
  std::shared_ptr<IBatchView> View(int Lane);
  void Report(const TFileResult& Result);
  // Starts batch Index; false when its tags were declined.
  bool StartBatch(size_t Index);
  void BatchEnded();
  void NotStarted(const std::vector<TPlannedFile>& Files);
  void Close();

  std::shared_ptr<const TRunPlan> FPlan;
  TRunValues FValues;
  TViewFactory FViewOf;
  std::vector<std::shared_ptr<IBatchView>> FViews;  // by lane + 1
  std::vector<TConversionMode> FModes;              // the batches, in order
  size_t FNext = 0;                                 // the next batch
  std::unique_ptr<TBatchRun> FBatch, FEnded;
  std::vector<TFileResult> FResults;
  bool FStarted = false, FStopped = false, FClosed = false;
  std::shared_ptr<TConversionRun*> FSelf;
};

}  // namespace tonvale
