#pragma once
// Waiting for a state a worker thread reaches, with a limit, so a test that
// goes wrong fails instead of hanging.

#include <chrono>
#include <functional>
#include <thread>

namespace tonvale::test {

// Polls Done on this thread (processing nothing) until it is true or Limit
// passes; returns Done().
inline bool WaitUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + Limit;
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return Done();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tonvale::test
