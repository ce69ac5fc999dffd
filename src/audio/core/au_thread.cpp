#include "audio/core/au_thread.h"

#include <chrono>

#include "audio/core/au_exception.h"
#include "audio/core/au_output.h"
#include "platform/ui_thread.h"

namespace tonvale {

TAuThread::TAuThread(TAuOutput* Owner, std::function<void()> OnFailure)
    : OwnerOutput(Owner), FailureHandler(std::move(OnFailure)), FThread([this] { Execute(); }) {}

TAuThread::~TAuThread() {
  FTerminated = true;
  Resume();
  Wake();
  FThread.join();
}

void TAuThread::Resume() {
  std::lock_guard lock(FLock);
  FResumePending = true;
  FSignal.notify_all();
}

bool TAuThread::Suspended() const {
  std::lock_guard lock(FLock);
  return FParked && !FResumePending;
}

void TAuThread::Wake() {
  std::lock_guard lock(FLock);
  FSignal.notify_all();
}

bool TAuThread::WaitParked(std::chrono::milliseconds Limit, bool OrRunEnded) {
  std::unique_lock lock(FLock);
  return FSignal.wait_for(lock, Limit, [&] { return (FParked && !FResumePending) || (OrRunEnded && RunEnded.load()); });
}

void TAuThread::Park() {
  std::unique_lock lock(FLock);
  FParked = true;
  FSignal.notify_all();
  FSignal.wait(lock, [this] { return FResumePending; });
  FResumePending = false;
  FParked = false;
}

void TAuThread::Execute() {
  Park();
  while (!FTerminated) {
    PerformRun();
    if (!FTerminated) Park();
  }
}

void TAuThread::ReportFailure(const std::string& Message) {
  PendingMessage = Message;
  try {
    ui_thread::Synchronize(FailureHandler);
  } catch (...) {
    // The handler's own failure changes nothing for the run.
  }
}

void TAuThread::PerformRun() {
  TAuOutput& out = *OwnerOutput;
  out.FRunning = true;
  std::string failure, detail;
  // Runs Step; a failure is noted in failure and detail.
  auto attempt = [&](const auto& Step) {
    try {
      Step();
      return true;
    } catch (const EAuException& e) {
      failure = e.what();
      detail = e.Detail();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "Unknown error";
    }
    return false;
  };
  bool more = true;      // false once the input has nothing left, or on an abort
  bool aborted = false;  // the last chunk was told to abort
  bool failed = !attempt([&] {
    out.Prepare();
    out.OutputEnabled = true;
    while (!StopRequest && more) {
      int delay = Delay;
      if (delay > 5) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      int progress = out.Progress();
      if (progress != out.LastProgress) {
        out.LastProgress = progress;
        if (auto handler = out.OnProgress()) {
          if (auto* events = TEventHandler::Instance()) events->PostProgress(&out, handler);
        }
      }
      aborted = StopRequest;
      more = out.OutputChunk(aborted);
    }
    if (!StopRequest) out.NoteShortInput();
  });
  StopRequest = false;
  out.OutputEnabled = false;
  if (!failed) failed = !attempt([&] { out.Finish(); });
  if (failed) {
    // The destination is closed and settled before anyone hears of the
    // failure, so what was written is on disk when the report arrives.
    try {
      out.AbandonRun();
    } catch (...) {
    }
    PendingDetail = detail;
    ReportFailure(failure);
  }
  out.FCompleted = !failed && !more && !aborted;
  out.FInterrupted = false;
  // From here a Run is kept pending until the worker parks, so it is not lost.
  out.FRunning = false;
  if (NotifyDone) {
    if (auto handler = out.OnDone()) {
      PauseBeforeDone(out.DoneDelay());
      if (NotifyDone) {
        if (auto* events = TEventHandler::Instance()) events->PostDone(&out, this, handler);
      }
    }
  }
  RunEnded = true;
  Wake();
}

void TAuThread::PauseBeforeDone(int Ms) {
  if (Ms <= 0) return;
  std::unique_lock lock(FLock);
  FSignal.wait_for(lock, std::chrono::milliseconds(Ms), [this] { return FTerminated.load() || !NotifyDone.load(); });
}

}  // namespace tonvale
