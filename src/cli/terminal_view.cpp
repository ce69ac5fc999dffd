#include "cli/terminal_view.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace tonvale {

TTerminalView::TTerminalView(TOverwritePolicy Overwrite, bool Quiet, std::function<bool()> Interrupted)
    : FOverwrite(Overwrite),
      FQuiet(Quiet),
      FTerminal(::isatty(STDERR_FILENO) != 0),
      FInterrupted(std::move(Interrupted)) {}

void TTerminalView::ShowInputFileName(const std::string& Name) {
  FInput = Name;
  FOutput.clear();
  FLastPercent = -2;
}

void TTerminalView::ShowOutputFileName(const std::string& Name) {
  FOutput = Name;
  if (FQuiet) return;
  if (FTerminal) {
    std::fprintf(stderr, "\r\033[K[  0%%] %s -> %s", FInput.c_str(), FOutput.c_str());
    FLineOpen = true;
  } else {
    std::fprintf(stderr, "converting %s -> %s\n", FInput.c_str(), FOutput.c_str());
  }
  std::fflush(stderr);
}

void TTerminalView::ShowProgress(int Percent) {
  if (FQuiet || !FTerminal || Percent == FLastPercent) return;
  FLastPercent = Percent;
  if (Percent < 0)
    std::fprintf(stderr, "\r\033[K[ ...] %s -> %s", FInput.c_str(), FOutput.c_str());
  else
    std::fprintf(stderr, "\r\033[K[%3d%%] %s -> %s", std::min(Percent, 100), FInput.c_str(), FOutput.c_str());
  FLineOpen = true;
  std::fflush(stderr);
}

void TTerminalView::EndProgressLine() {
  if (FLineOpen) std::fprintf(stderr, "\r\033[K");
  FLineOpen = false;
}

bool TTerminalView::ConfirmOverwrite(const std::string& Path) {
  if (FOverwrite == TOverwritePolicy::Always) return true;
  if (FOverwrite == TOverwritePolicy::Never || !::isatty(STDIN_FILENO)) return false;
  EndProgressLine();
  for (;;) {
    std::fprintf(stderr, "%s has existed, overite it? [y/n] ", Path.c_str());
    std::fflush(stderr);
    // Waits for a line while watching for a stop signal, which may arrive
    // before the wait begins as well as during it.
    bool ready = false;
    while (!FInterrupted() && !ready) {
      struct pollfd in {STDIN_FILENO, POLLIN, 0};
      ready = ::poll(&in, 1, 100) > 0;
    }
    std::string answer;
    if (FInterrupted() || !std::getline(std::cin, answer)) {
      std::fprintf(stderr, "\n");
      FQuestionInterrupted = FInterrupted();
      return false;
    }
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    if (answer == "n" || answer == "N" || answer == "no") return false;
  }
}

void TTerminalView::FileFinished(const TFileResult& Result) {
  EndProgressLine();
  if (FQuestionInterrupted && Result.Outcome == TFileOutcome::Skipped) {
    FQuestionInterrupted = false;
    NotStarted(Result.Source);
    return;
  }
  switch (Result.Outcome) {
    case TFileOutcome::Converted:
      ++FConverted;
      std::printf("%s\n", Result.Output.c_str());
      std::fflush(stdout);
      if (!FQuiet) std::fprintf(stderr, "done %s\n", Result.Output.c_str());
      // A warning is shown even without progress: the file is not what its
      // source's header promised.
      if (!Result.Message.empty()) std::fprintf(stderr, "warning %s: %s\n", Result.Output.c_str(), Result.Message.c_str());
      break;
    case TFileOutcome::Skipped:
      ++FSkipped;
      if (!FQuiet) std::fprintf(stderr, "skipped %s: %s\n", Result.Source.c_str(), Result.Message.c_str());
      break;
    case TFileOutcome::Failed: {
      // The output is named too: a message such as "Cannot create file"
      // does not say which.
      const std::string what = Result.Output.empty() ? Result.Source : Result.Source + " -> " + Result.Output;
      FFailures.emplace_back(what, Result.Message);
      if (!FQuiet) std::fprintf(stderr, "failed %s: %s\n", what.c_str(), Result.Message.c_str());
      break;
    }
  }
}

void TTerminalView::Fail(const std::string& Source, const std::string& Message) {
  FileFinished({Source, "", TFileOutcome::Failed, Message});
}

void TTerminalView::Skip(const std::string& Source, const std::string& Message) {
  FileFinished({Source, "", TFileOutcome::Skipped, Message});
}

void TTerminalView::NotStarted(const std::string& Source) { FNotStarted.push_back(Source); }

void TTerminalView::PrintSummary() const {
  std::fprintf(stderr, "%d converted, %d skipped, %d failed", FConverted, FSkipped, Failed());
  if (!FNotStarted.empty()) std::fprintf(stderr, ", %d not started", NotStartedCount());
  std::fprintf(stderr, "\n");
  for (const auto& [file, message] : FFailures) std::fprintf(stderr, "  %s: %s\n", file.c_str(), message.c_str());
  for (const auto& file : FNotStarted) std::fprintf(stderr, "  %s: not started\n", file.c_str());
}

}  // namespace tonvale
