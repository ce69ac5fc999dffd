#pragma once
// The abstract PCM sink. A run happens on the output's own worker thread:
// Prepare, then OutputChunk until it returns false, then Finish. Progress and
// completion reach the UI thread through the shared delivery thread.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/core/au_component.h"
#include "audio/core/au_warnings.h"
#include "audio/core/event_handler.h"

namespace tonvale {

class TAuInput;
class TAuThread;

using TOutputDoneEvent = TNotifyEvent;
using TOutputProgressEvent = TNotifyEvent;
using TThreadExceptionEvent = TNotifyEvent;

class TAuOutput : public TAuComponent {
 public:
  explicit TAuOutput(TAuComponent* Owner);
  ~TAuOutput() override;

  // Starts a run; raises "Component is Busy" or "Input is not assigned".
  void Run();
  // Asks the run to end after the current chunk. With NoWait false, waits
  // until the worker has stopped (running the UI thread's hand-overs
  // meanwhile) and drops every report of this output, so no report of it
  // arrives after Stop returns.
  void Stop(bool NoWait);

  // The input's position as a percentage of its size: 0 without an input,
  // -1 when the size is not known. Readable from any thread.
  int Progress() const;
  int Delay() const;
  // Values above 100 ms are ignored.
  void SetDelay(int Value);
  // Milliseconds between the end of a run and its completion report.
  int DoneDelay() const { return FDoneDelay.load(); }
  void SetDoneDelay(int Value) { FDoneDelay = Value < 0 ? 0 : Value; }

  TAuInput* Input() const { return FInput.load(); }
  // Setting it during a run restarts the run with the new input.
  virtual void SetInput(TAuInput* Value);

  bool Running() const { return FRunning.load(); }
  bool Interrupted() const { return FInterrupted.load(); }
  // The last run delivered all its data and finished; its completion report
  // may still be on its way (a stop during the done delay suppresses it).
  bool Completed() const { return FCompleted.load(); }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  // The system's reason behind ErrorMessage, when it has one.
  const std::string& ErrorDetail() const { return FErrorDetail; }
  // What a run that finished reports beside its file (a truncated source,
  // clipped samples), the texts joined by "; "; empty otherwise.
  const std::string& WarningMessage() const { return FWarningMessage; }
  // The same warnings one by one, each with its kind and a text of au_warnings.h.
  const std::vector<TAuWarningText>& Warnings() const { return FWarnings; }
  // Such a shortfall fails the run instead (set before Run).
  bool ShortInputFails = false;
  // A run whose input gave no audio at all fails ("no audio in ...").
  bool NoAudioFails = false;

  TOutputDoneEvent OnDone() const;
  void SetOnDone(TOutputDoneEvent Value);
  TOutputProgressEvent OnProgress() const;
  void SetOnProgress(TOutputProgressEvent Value);
  TThreadExceptionEvent OnThreadException() const;
  void SetOnThreadException(TThreadExceptionEvent Value);

 protected:
  friend class TAuThread;

  // Moves one portion of data; true while there may be more. Abort is true
  // when a stop was requested; every output then returns false at once.
  virtual bool OutputChunk(bool Abort) = 0;
  // Completes the destination and ends the input's read.
  virtual void Finish() = 0;
  // Opens the destination, begins the input's read, checks formats, writes
  // any header.
  virtual void Prepare() = 0;
  // Called instead of Finish after Prepare, OutputChunk or Finish failed,
  // before the failure is reported: closes the destination with what was
  // written. The input's read is left as it is.
  virtual void AbandonRun() {}

  // Stops the run and ends the worker. Concrete outputs call
  // BeforeDestruction() first in their destructor, so no run is left using
  // what they free; the base destructor aborts the program when one did not.
  void BeforeDestruction() override;
  // Adds a warning of this run (each text once).
  void AddWarning(TAuWarning Kind, const std::string& Text);
  void Notification(TAuComponent* Component, TOperation Operation) override;

  std::atomic<bool> FInterrupted{false};
  std::string FErrorMessage;
  std::string FErrorDetail;
  std::string FWarningMessage;
  std::vector<TAuWarningText> FWarnings;
  std::atomic<bool> OutputEnabled{false};
  int LastProgress = 0;
  std::unique_ptr<TAuThread> Worker;

 private:
  void HandleFailure();
  // Notes a shortfall of the input at the end of a run.
  void NoteShortInput();
  void EndWorker();

  std::atomic<TAuInput*> FInput{nullptr};
  std::atomic<bool> FRunning{false};
  std::atomic<bool> FCompleted{false};
  std::atomic<int> FDoneDelay{300};
  mutable std::mutex FEventLock;
  TOutputDoneEvent FOnDone;
  TOutputProgressEvent FOnProgress;
  TThreadExceptionEvent FOnThreadException;
  bool FWorkerEnded = false;
  bool FEverRun = false;  // Run started the worker at least once
};

}  // namespace tonvale
