#pragma once
// The delivery thread shared by all outputs: it takes progress and completion
// reports from the workers and hands them, one at a time and in order, to the
// UI thread.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tonvale {

class TAuComponent;
class TAuOutput;
class TAuThread;

using TNotifyEvent = std::function<void(TAuComponent* Sender)>;

struct TReport {
  uint8_t ReportKind;  // 0 progress, 1 done
  TAuOutput* Sender;
  TNotifyEvent Handler;
  TAuThread* Worker;  // done reports only
  bool Cancelled = false;
};

class TEventHandler {
 public:
  // The shared handler, created with the first live output and ended with the
  // last one.
  static TEventHandler& AddOutput();
  static void RemoveOutput();
  // The shared handler, or nullptr when no output is alive.
  static TEventHandler* Instance();

  void PostProgress(TAuOutput* Sender, const TNotifyEvent& Handler);
  void PostDone(TAuOutput* Sender, TAuThread* Worker, const TNotifyEvent& Handler);
  // Refuses new reports of Sender until Unblock.
  void Block(TAuOutput* Sender);
  void Unblock();
  // Drops the queued reports of Sender.
  void Purge(TAuOutput* Sender);
  // Drops the queued reports of Sender and the one being delivered, if it is
  // Sender's and its handler has not started. Call on the UI thread.
  void Cancel(TAuOutput* Sender);

 private:
  TEventHandler();
  ~TEventHandler();
  void Execute();
  void Post(std::unique_ptr<TReport> Report);
  bool WorkerParked(TReport& Report);

  std::mutex QueueLock;
  std::deque<std::unique_ptr<TReport>> Queue;
  std::condition_variable WakeEvent;
  bool WakeSignalled = false;
  TReport* Delivering = nullptr;
  TAuOutput* BlockedOutput = nullptr;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FEnded{false};
  std::thread FThread;
};

}  // namespace tonvale
