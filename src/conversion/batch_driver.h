#pragma once
// The batch conversion driver: converts planned files one after another,
// stepping by a message it posts to itself on the UI thread after every
// finished or skipped file.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_in.h"
#include "audio/wave/wave_out.h"
#include "audio/winmedia/wm_in.h"
#include "audio/winmedia/wma_out.h"
#include "conversion/batch_view.h"
#include "conversion/run_plan.h"
#include "conversion/run_values.h"
#include "settings/tag_values.h"

namespace tonvale {

constexpr unsigned WM_CONVERT_NEXT = 2130;

// Lanes a run lends to a file as it starts, and those its segments are
// planned for (more than lent when lanes may come free while it runs).
struct TLanesLent {
  int Lent = 0;
  int Planned = 0;
};

// What a driver asks as it goes, each optional.
struct TBatchHooks {
  // Asked before each step: true ends the batch there, as Stop does, so no
  // further file starts once a stop was asked for.
  std::function<bool()> StopRequested;
  // Where the files come from when several drivers share one batch: each
  // takes the next planned file from the shared queue (false: none left).
  // Without it the driver goes through the plan's files.
  std::function<bool(TPlannedFile& File)> NextFile;
  // Asked before each step: while true the step waits (another driver of
  // the run asks the overwrite question) until ReleaseHeldSteps.
  std::function<bool()> HoldSteps;
  // Asked as a long WAV-to-MP3 file starts: lends up to that many of the
  // run's idle lanes to it (given back as it ends).
  std::function<TLanesLent(int Wanted)> BorrowLanes;
};

class TBatchDriver {
 public:
  // Converts Plan's files (or those NextFile gives) with the run's Values.
  // Nothing runs before Start.
  TBatchDriver(IBatchView& View, std::shared_ptr<const TRunValues> Values, std::shared_ptr<const TRunPlan> Plan);
  ~TBatchDriver();
  TBatchDriver(const TBatchDriver&) = delete;
  TBatchDriver& operator=(const TBatchDriver&) = delete;

  // The first step is posted to the UI thread; a driver starts once (a
  // second call is a logic_error).
  void Start(TBatchHooks Hooks = {});

  void ReleaseHeldSteps();
  bool HasHeldSteps() const { return !FHeldSteps.empty(); }
  // A core another lane no longer needs joins the running file's segments;
  // false when it has none left to start.
  bool LendCore();
  // The workers that encoded the last MP3 file (1: one pass).
  int LastWorkers() const { return MP3Out1.LastWorkers(); }
  // The running file's output has finished; its report is on the way.
  bool AwaitingReport();
  // Milliseconds each output waits before its completion report.
  void SetDoneDelay(int Milliseconds);

  // The Stop button: ends the batch, stopping the running output first.
  void bStopClick() { Close(); }
  bool Closed() const { return FClosed; }
  int Current() const { return FCurrent; }

  // The components each file runs through (one input and one output of
  // them, by its mode).
  TWaveIn WaveIn1{nullptr};
  TMP3In MP3In1{nullptr};
  TWMIn WMIn1{nullptr};
  TWaveOut WaveOut1{nullptr};
  TMP3Out MP3Out1{nullptr};
  TWMAOut WMAOut1{nullptr};

 private:
  void PostStep(int WParam);
  // The handling of WM_CONVERT_NEXT.
  void Step(int WParam);
  void FinishPrevious();
  void StartNext(const TPlannedFile& File);
  void StartFile(const TPlannedFile& File);
  // Ends File without starting it and moves on.
  void EndFile(const TFileResult& Result);
  // Whether File's output may be written: nothing stands there, or the
  // policy or the user says to replace it.
  bool MayWrite(const TPlannedFile& File);
  // Writes the tags that follow the data (an MP3's ID3v1 tag, a WAV's
  // LIST/INFO chunk) into the finished file held under its temporary name;
  // returns the reason when that failed.
  std::string WriteTrailingTags(const std::string& Output);
  TAuOutput* ModeOutput();
  TAuFileIn* ModeInput();
  void WaveOut1Done(TAuComponent* Sender);
  void Close();

  IBatchView& FView;
  std::shared_ptr<const TRunValues> FValues;
  std::shared_ptr<const TRunPlan> FPlan;
  TConversionMode FMode = cmNone;  // of the running or last file
  bool FStarted = false;
  TBatchHooks FHooks;
  std::vector<int> FHeldSteps;
  int FCurrent = 0;
  bool FClosed = false;
  // The file started last and not yet reported.
  bool FRunning = false;
  bool FDone = false;             // its completion was reported
  bool FRunningReplaces = false;  // a file stood at its output, kept until it finishes
  TPlannedFile FRunningFile;
  // The tag values the running file started with (a WMA-to-MP3 file of a
  // batch takes its own source's).
  TTagValues FRunningTags;
  // Steps posted before this driver went away find it gone.
  std::shared_ptr<TBatchDriver*> FSelf;
};

}  // namespace tonvale
