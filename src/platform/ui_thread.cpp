#include "platform/ui_thread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace tonvale::ui_thread {
namespace {

struct HandOver {
  const std::function<void()>* Fn;
  std::exception_ptr Error;
  bool Done = false;
};

struct State {
  std::mutex Lock;
  std::condition_variable Queued;    // a hand-over or a message arrived
  std::condition_variable Finished;  // a hand-over completed
  std::deque<std::shared_ptr<HandOver>> HandOvers;
  std::deque<std::function<void()>> Messages;
  std::function<void()> Wake;
  std::thread::id UiId;
  bool Initialised = false;
};

State& S() {
  static State state;
  return state;
}

void CallWake() {
  std::function<void()> wake;
  {
    std::lock_guard lock(S().Lock);
    wake = S().Wake;
  }
  if (wake) wake();
}

}  // namespace

void Initialise() {
  std::lock_guard lock(S().Lock);
  S().UiId = std::this_thread::get_id();
  S().Initialised = true;
  S().Messages.clear();
}

void Release() {
  std::lock_guard lock(S().Lock);
  S().Initialised = false;
  S().UiId = {};
}

bool IsUiThread() {
  std::lock_guard lock(S().Lock);
  return S().Initialised && S().UiId == std::this_thread::get_id();
}

void Synchronize(const std::function<void()>& Fn) {
  auto item = std::make_shared<HandOver>();
  {
    std::lock_guard lock(S().Lock);
    if (!S().Initialised) throw std::logic_error("ui_thread::Synchronize: no UI thread (ui_thread::Initialise)");
    if (S().UiId == std::this_thread::get_id()) {
      item.reset();
    } else {
      item->Fn = &Fn;
      S().HandOvers.push_back(item);
      S().Queued.notify_all();
    }
  }
  if (!item) {
    Fn();
    return;
  }
  CallWake();
  std::unique_lock lock(S().Lock);
  S().Finished.wait(lock, [&] { return item->Done; });
  if (item->Error) std::rethrow_exception(item->Error);
}

bool CheckSynchronize(std::chrono::milliseconds Wait) {
  std::unique_lock lock(S().Lock);
  if (S().HandOvers.empty() && Wait.count() > 0) S().Queued.wait_for(lock, Wait, [] { return !S().HandOvers.empty(); });
  bool ran = false;
  while (!S().HandOvers.empty()) {
    auto item = S().HandOvers.front();
    S().HandOvers.pop_front();
    lock.unlock();
    try {
      (*item->Fn)();
    } catch (...) {
      item->Error = std::current_exception();
    }
    lock.lock();
    item->Done = true;
    S().Finished.notify_all();
    ran = true;
  }
  return ran;
}

void Post(std::function<void()> Fn) {
  {
    std::lock_guard lock(S().Lock);
    S().Messages.push_back(std::move(Fn));
    S().Queued.notify_all();
  }
  CallWake();
}

void SetWakeCallback(std::function<void()> Wake) {
  std::lock_guard lock(S().Lock);
  S().Wake = std::move(Wake);
}

bool ProcessMessages() {
  bool ran = CheckSynchronize();
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(S().Lock);
    batch.swap(S().Messages);
  }
  while (!batch.empty()) {
    auto fn = std::move(batch.front());
    batch.pop_front();
    ran = true;
    try {
      fn();
    } catch (...) {
      // Keep the messages not yet run, ahead of any posted meanwhile.
      std::lock_guard lock(S().Lock);
      S().Messages.insert(S().Messages.begin(), std::make_move_iterator(batch.begin()),
                          std::make_move_iterator(batch.end()));
      throw;
    }
    ran |= CheckSynchronize();
  }
  return ran;
}

bool WaitAndProcess(std::chrono::milliseconds Timeout) {
  {
    std::unique_lock lock(S().Lock);
    S().Queued.wait_for(lock, Timeout, [] { return !S().HandOvers.empty() || !S().Messages.empty(); });
  }
  return ProcessMessages();
}

bool ProcessUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
  auto deadline = std::chrono::steady_clock::now() + Timeout;
  while (!Done()) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return Done();
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    WaitAndProcess(std::min(left, std::chrono::milliseconds(10)));
  }
  return true;
}

}  // namespace tonvale::ui_thread
