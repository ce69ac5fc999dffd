#pragma once
// One batch of a run on up to N lanes: a TBatchDriver per lane, each with its
// own components, taking the files from one queue. Every lane reads the
// run's values; one overwrite question is open at a time; Stop ends every
// lane. The run counts the files dealt with and the whole batch's progress.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversion/batch_driver.h"
#include "conversion/run_plan.h"
#include "conversion/run_values.h"

namespace tonvale {

// The lanes a run uses for Jobs (0: one per core this process may run on).
int LanesFor(int Jobs);

class TBatchRun {
 public:
  // Plan's files on up to Lanes lanes; ViewOf gives the view of each lane
  // (several lanes may share one), which the run keeps while it needs it.
  // Nothing runs before Start.
  TBatchRun(std::shared_ptr<const TRunPlan> Plan, const std::shared_ptr<const TRunValues>& Values, int Lanes,
            const std::function<std::shared_ptr<IBatchView>(int Lane)>& ViewOf);
  ~TBatchRun();
  TBatchRun(const TBatchRun&) = delete;
  TBatchRun& operator=(const TBatchRun&) = delete;

  // Starts every lane; their first steps run once the UI thread's loop
  // does. StopRequested, asked before each step of every lane, stops the run
  // there when true. A run starts once.
  void Start(std::function<bool()> StopRequested = {});
  void SetDoneDelay(int Milliseconds);
  // Runs once, when the last lane has closed.
  std::function<void()> OnClosed;

  // Ends every lane, each stopping its running output and waiting for it.
  void Stop();
  bool Closed() const;
  int Lanes() const { return static_cast<int>(FLanes.size()); }
  // Files dealt with: converted, skipped or failed.
  int Finished() const { return FFinished; }
  // The whole batch: files dealt with and the running files' fractions, in
  // percent of the file count. It never goes back while the run goes on.
  int Percent() const;
  // Idle lanes lent to running files.
  int LentLanes() const { return FLent; }
  // The most workers that encoded one MP3 file of the run (1: each in one
  // pass).
  int MostWorkers() const { return FMostWorkers; }
  // Lanes whose running file has finished, its report on the way.
  int AwaitingReport() const;
  // Lanes whose step waits for the open overwrite question.
  int Waiting() const;
  // The files still queued (after a stop: those never started).
  std::vector<TPlannedFile> NotStarted() const { return {FQueue.begin(), FQueue.end()}; }

 private:
  class TLaneView;
  struct TLane {
    std::unique_ptr<TLaneView> View;
    std::unique_ptr<TBatchDriver> Driver;
    int Percent = 0;  // of the running file
    int Lent = 0;     // idle lanes lent to the running file
  };
  void LaneClosed();
  // The lanes lent to Lane's file go back.
  void GiveBack(int Lane);
  // Lane has no file left: its core joins another lane's file, if one can
  // take it.
  void LendCore(size_t Lane);
  void QuestionEnded();

  std::shared_ptr<const TRunPlan> FPlan;
  std::deque<TPlannedFile> FQueue;
  std::vector<TLane> FLanes;
  int FRequested = 1;  // the lanes asked for, some idle when files are fewer
  int FLent = 0;
  int FMostWorkers = 1;
  int FFinished = 0;
  int FClosedLanes = 0;
  bool FAsking = false;
};

}  // namespace tonvale
