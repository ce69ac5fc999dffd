#include "cli/stop_signal.h"

#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>

namespace tonvale {
namespace {

volatile std::sig_atomic_t gSignal = 0;

void OnSignal(int Signal) { gSignal = Signal; }

// The descriptor stays blocking (it may be shared with other processes):
// each piece waits for room with poll and is at most PIPE_BUF bytes, which a
// pipe with room takes without waiting. Once a stop has arrived, the rest
// gets half a second: a reader that keeps reading still has it all, one that
// does not read holds the stop up no longer than that.
bool WriteAll(int Fd, const std::string& Text) {
  using std::chrono::steady_clock;
  static steady_clock::time_point giveUp = steady_clock::time_point::max();
  size_t done = 0;
  while (done < Text.size()) {
    if (gSignal != 0 && giveUp == steady_clock::time_point::max())
      giveUp = steady_clock::now() + std::chrono::milliseconds(500);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - steady_clock::now()).count();
    if (left <= 0) return false;
    struct pollfd out {
      Fd, POLLOUT, 0
    };
    const int ready = ::poll(&out, 1, static_cast<int>(std::min<long long>(left, 100)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    if (out.revents & (POLLERR | POLLNVAL)) return false;
    const ssize_t n = ::write(Fd, Text.data() + done, std::min<size_t>(Text.size() - done, PIPE_BUF));
    if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
    if (n > 0) done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

// Without SA_RESTART a blocking read (the overwrite question) returns at
// once. SIGPIPE and SIGXFSZ are ignored: the write fails instead (EPIPE,
// EFBIG) and the file fails cleanly, its temporary removed, rather than the
// process dying with its hidden files left behind.
void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

int StopSignal() { return gSignal; }

bool WriteStandardOutput(const std::string& Text) { return WriteAll(STDOUT_FILENO, Text); }

void SayOnError(const char* Format, ...) {
  va_list args, again;
  va_start(args, Format);
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, Format, args);
  va_end(args);
  std::string text(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), Format, again);
  va_end(again);
  text.pop_back();
  WriteAll(STDERR_FILENO, text);
}

}  // namespace tonvale
