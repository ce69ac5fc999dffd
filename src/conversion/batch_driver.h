#pragma once
// The batch conversion driver: converts a list of files one after another in
// one of the six modes, stepping by a message it posts to itself on the UI
// thread after every finished or skipped file.

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
#include "conversion/run_values.h"
#include "conversion/source_set.h"
#include "settings/tag_values.h"

namespace tonvale {

constexpr unsigned WM_CONVERT_NEXT = 2130;

// What a driver asks as it goes, each optional.
struct TBatchHooks {
  // Asked before each step: true ends the batch there, as Stop does, so no
  // further file starts once a stop was asked for.
  std::function<bool()> StopRequested;
  // Where the files come from when several drivers share one batch: each
  // takes the next file from the shared queue (false: none left). Without
  // it the driver goes through its own list.
  std::function<bool(std::string& Source)> NextFile;
  // The output folder of a source, when not the settings' (a folder tree
  // kept under the output folder).
  std::function<std::string(const std::string& Source)> OutputFolderFor;
  // Asked before each step: while true the step waits (another driver of
  // the run asks the overwrite question) until ReleaseHeldSteps.
  std::function<bool()> HoldSteps;
};

class TBatchDriver {
 public:
  // Values are the run's; without them, Settings and TagValues as they
  // stand when the driver is made. Nothing runs before Start.
  TBatchDriver(IBatchView& View, std::vector<std::string> FileList, std::shared_ptr<const TRunValues> Values = nullptr);
  ~TBatchDriver();
  TBatchDriver(const TBatchDriver&) = delete;
  TBatchDriver& operator=(const TBatchDriver&) = delete;

  // Converts the files in Mode, the first step posted to the UI thread;
  // a driver starts once (a second call is a logic_error).
  void Start(int Mode, TBatchHooks Hooks = {});

  void ReleaseHeldSteps();
  bool HasHeldSteps() const { return !FHeldSteps.empty(); }
  // The running file's output has finished; its report is on the way.
  bool AwaitingReport();
  // Milliseconds each output waits before its completion report.
  void SetDoneDelay(int Milliseconds);

  // The Stop button: ends the batch, stopping the running output first.
  void bStopClick() { Close(); }
  bool Closed() const { return FClosed; }
  int Current() const { return FCurrent; }

  // The components, for the views that show or tune them.
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
  void StartNext(const std::string& Source);
  void StartFile(const std::string& Source, const std::string& Output);
  // Ends the previous file as failed, without starting it, and moves on.
  void FailFile(const std::string& Source, const std::string& Output, const std::string& Message);
  bool ConfirmOverwrite(const std::string& Path);
  // Writes the tag into the finished MP3 held under its temporary name and
  // lets it take its name; returns the reason when either failed.
  std::string CompleteMp3(const std::string& Output);
  // Why Source cannot be converted, or empty when it can.
  std::string Unreadable(TAuFileIn& Input, const std::string& Source);
  TAuOutput* ModeOutput();
  TAuFileIn* ModeInput();
  void WaveOut1Done(TAuComponent* Sender);
  void Close();

  IBatchView& FView;
  std::vector<std::string> Files;
  int FMode = 0;
  bool FStarted = false;
  TBatchHooks FHooks;
  std::shared_ptr<const TRunValues> FValues;
  std::vector<int> FHeldSteps;
  TSourceSet FSources;  // what no output may replace
  int FCurrent = 0;
  bool FClosed = false;
  // The file started last and not yet reported.
  bool FRunning = false;
  bool FDone = false;  // its completion was reported
  std::string FRunningSource, FRunningOutput;
  // The tag values the running file started with (a WMA-to-MP3 file of a
  // batch takes its own source's).
  TTagValues FRunningTags;
  std::string FAskedSource;     // the file of the overwrite question
  bool FOutputExisted = false;  // its output stood there when asked about
  // Steps posted before this driver went away find it gone.
  std::shared_ptr<TBatchDriver*> FSelf;
};

}  // namespace tonvale
