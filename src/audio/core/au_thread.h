#pragma once
// The worker thread of an output. It is parked ("suspended") between runs;
// Resume releases it for one run of its output.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tonvale {

class TAuOutput;

class TAuThread {
 public:
  // Starts the thread parked. OnFailure runs on the UI thread after a
  // run failed, while the worker waits.
  TAuThread(TAuOutput* Owner, std::function<void()> OnFailure);
  // Ends the thread: marks it terminated, releases it and waits for it.
  ~TAuThread();
  TAuThread(const TAuThread&) = delete;
  TAuThread& operator=(const TAuThread&) = delete;

  // Releases the parked thread for one run. A release that arrives before the
  // thread has parked is kept, so a run is never lost.
  void Resume();
  // Parked, with no release pending.
  bool Suspended() const;
  // Cuts short a pause of the worker (the wait before the completion report)
  // and wakes those waiting in WaitParked.
  void Wake();
  // Waits until the worker is parked (or, with OrRunEnded, its run has ended),
  // at most Limit; true when it is.
  bool WaitParked(std::chrono::milliseconds Limit, bool OrRunEnded);

  std::string PendingMessage;
  std::string PendingDetail;
  std::atomic<bool> NotifyDone{true};
  std::atomic<bool> RunEnded{false};
  TAuOutput* const OwnerOutput;
  std::atomic<bool> StopRequest{false};
  const std::function<void()> FailureHandler;
  std::atomic<int> Delay{0};

 private:
  void Execute();
  void Park();
  void PerformRun();
  // Waits up to Ms milliseconds unless the thread is terminated or the
  // completion report is no longer wanted.
  void PauseBeforeDone(int Ms);
  void ReportFailure(const std::string& Message);

  mutable std::mutex FLock;
  std::condition_variable FSignal;
  bool FParked = true;
  bool FResumePending = false;
  std::atomic<bool> FTerminated{false};
  std::thread FThread;
};

}  // namespace tonvale
