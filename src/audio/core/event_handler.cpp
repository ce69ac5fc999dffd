#include "audio/core/event_handler.h"

#include <chrono>

#include "audio/core/au_output.h"
#include "audio/core/au_thread.h"
#include "platform/ui_thread.h"

namespace tonvale {
namespace {

std::mutex gLiveLock;
TEventHandler* gHandler = nullptr;
int gLiveOutputs = 0;
// Set on the UI thread while a report handler runs.
thread_local bool tInDelivery = false;

}  // namespace

TEventHandler& TEventHandler::AddOutput() {
  std::lock_guard lock(gLiveLock);
  if (gLiveOutputs++ == 0) gHandler = new TEventHandler();
  return *gHandler;
}

void TEventHandler::RemoveOutput() {
  TEventHandler* ending = nullptr;
  {
    std::lock_guard lock(gLiveLock);
    if (--gLiveOutputs == 0) {
      ending = gHandler;
      gHandler = nullptr;
    }
  }
  if (ending && tInDelivery) {
    // The last output was freed by a report handler: the delivery thread is
    // waiting for that handler, so it is ended once the handler has returned.
    ui_thread::Post([ending] { delete ending; });
    return;
  }
  delete ending;
}

TEventHandler* TEventHandler::Instance() {
  std::lock_guard lock(gLiveLock);
  return gHandler;
}

TEventHandler::TEventHandler() : FThread([this] { Execute(); }) {}

TEventHandler::~TEventHandler() {
  {
    std::lock_guard lock(QueueLock);
    FTerminated = true;
    WakeSignalled = true;
  }
  WakeEvent.notify_all();
  // A delivery may be waiting for the UI thread: keep hand-overs flowing.
  if (ui_thread::IsUiThread()) {
    while (!FEnded) ui_thread::CheckSynchronize(std::chrono::milliseconds(1));
  }
  FThread.join();
}

void TEventHandler::Post(std::unique_ptr<TReport> Report) {
  {
    std::lock_guard lock(QueueLock);
    if (Report->Sender != BlockedOutput) Queue.push_back(std::move(Report));
    WakeSignalled = true;
  }
  WakeEvent.notify_all();
}

void TEventHandler::PostProgress(TAuOutput* Sender, const TNotifyEvent& Handler) {
  Post(std::make_unique<TReport>(TReport{0, Sender, Handler, nullptr}));
}

void TEventHandler::PostDone(TAuOutput* Sender, TAuThread* Worker, const TNotifyEvent& Handler) {
  Post(std::make_unique<TReport>(TReport{1, Sender, Handler, Worker}));
}

void TEventHandler::Block(TAuOutput* Sender) {
  std::lock_guard lock(QueueLock);
  BlockedOutput = Sender;
}

void TEventHandler::Unblock() {
  std::lock_guard lock(QueueLock);
  BlockedOutput = nullptr;
}

void TEventHandler::Purge(TAuOutput* Sender) {
  std::lock_guard lock(QueueLock);
  std::erase_if(Queue, [&](const std::unique_ptr<TReport>& r) { return r->Sender == Sender; });
}

void TEventHandler::Cancel(TAuOutput* Sender) {
  std::lock_guard lock(QueueLock);
  std::erase_if(Queue, [&](const std::unique_ptr<TReport>& r) { return r->Sender == Sender; });
  if (Delivering && Delivering->Sender == Sender) {
    Delivering->Cancelled = true;
    if (Delivering->Worker) Delivering->Worker->Wake();
  }
}

bool TEventHandler::WorkerParked(TReport& Report) {
  std::lock_guard lock(QueueLock);
  return Report.Cancelled || Report.Worker->Suspended();
}

void TEventHandler::Execute() {
  while (!FTerminated) {
    for (;;) {
      std::unique_ptr<TReport> report;
      {
        std::lock_guard lock(QueueLock);
        if (Queue.empty()) break;
        report = std::move(Queue.front());
        Queue.pop_front();
        Delivering = report.get();
      }
      if (report->ReportKind == 1) {
        // A done report is delivered only once its worker has parked, so the
        // output can be run again from the handler.
        // Cancel wakes the wait too.
        while (!WorkerParked(*report)) report->Worker->WaitParked(std::chrono::milliseconds(50), false);
        Purge(report->Sender);
      }
      try {
        ui_thread::Synchronize([&] {
          // Cancelled is set on the UI thread (Cancel) and read here and on
          // the delivery thread, always under QueueLock.
          bool cancelled;
          {
            std::lock_guard lock(QueueLock);
            cancelled = report->Cancelled;
          }
          if (cancelled || !report->Handler) return;
          struct InDelivery {
            bool Saved = tInDelivery;
            InDelivery() { tInDelivery = true; }
            ~InDelivery() { tInDelivery = Saved; }
          } inDelivery;
          report->Handler(report->Sender);
        });
      } catch (...) {
        // A handler's failure is its own; delivery goes on.
      }
      std::lock_guard lock(QueueLock);
      Delivering = nullptr;
    }
    std::unique_lock lock(QueueLock);
    WakeEvent.wait_for(lock, std::chrono::milliseconds(100), [this] { return WakeSignalled; });
    WakeSignalled = false;
  }
  FEnded = true;
}

}  // namespace tonvale
