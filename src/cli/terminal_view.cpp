#include "cli/terminal_view.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "cli/refusal.h"
#include "cli/run_json.h"
#include "cli/stop_signal.h"
#include "cli/terminal_text.h"
#include "platform/text.h"

namespace tonvale {

// One driver's face of the shared view.
class TLaneView : public IBatchView {
 public:
  TLaneView(TTerminalView& View, int Lane) : FView(View), FLane(Lane) {}
  void ShowInputFileName(const std::string& Name) override { FView.LaneInput(FLane, Name); }
  void ShowOutputFileName(const std::string& Name) override { FView.LaneOutput(FLane, Name); }
  void ShowOutputFolder(const std::string&) override {}
  void ShowSelectedTracks(int) override {}
  void ShowCompleted(int) override {}
  void ShowProgressCaption(const std::string&) override {}
  void ShowProgress(int Percent) override { FView.LaneProgress(FLane, Percent); }
  bool ConfirmOverwrite(const std::string& Path) override { return FView.ConfirmOverwrite(Path); }
  void FileFinished(const TFileResult& Result) override { FView.FileFinished(FLane, Result); }
  void BatchClosed() override {}

 private:
  TTerminalView& FView;
  int FLane;
};

namespace {

int64_t FileSize(const std::string& Path) {
  struct stat st {};
  return !Path.empty() && ::lstat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
}

}  // namespace

TTerminalView::TTerminalView(bool Quiet, bool Json, std::function<bool()> Interrupted)
    : FQuiet(Quiet), FJson(Json), FTerminal(::isatty(STDERR_FILENO) != 0), FInterrupted(std::move(Interrupted)) {}

std::unique_ptr<IBatchView> TTerminalView::Lane(int Lane) {
  if (static_cast<int>(FLaneStates.size()) <= Lane) FLaneStates.resize(static_cast<size_t>(Lane) + 1);
  return std::make_unique<TLaneView>(*this, Lane);
}

void TTerminalView::LaneInput(int Lane, const std::string& Name) {
  TLaneState& l = FLaneStates[Lane];
  l.Input = Name;
  l.Output.clear();
  l.Percent = -2;
  l.Started = std::chrono::steady_clock::now();
  l.Running = true;
}

void TTerminalView::LaneOutput(int Lane, const std::string& Name) {
  TLaneState& l = FLaneStates[Lane];
  l.Output = Name;
  l.Percent = 0;
  if (FQuiet) return;
  if (!FTerminal) {
    SayOnError("converting %s -> %s\n", Shown(l.Input).c_str(), Shown(l.Output).c_str());
    return;
  }
  DrawBlock();
}

void TTerminalView::LaneProgress(int Lane, int Percent) {
  TLaneState& l = FLaneStates[Lane];
  if (FQuiet || !FTerminal || Percent == l.Percent) return;
  l.Percent = Percent;
  DrawBlock();
}

void TTerminalView::ClearBlock() {
  if (FBlockLines == 0) return;
  if (FBlockLines > 1) SayOnError("\033[%dA", FBlockLines - 1);
  SayOnError("\r\033[J");
  FBlockLines = 0;
}

// Escaped also in a file or pipe: a name holding a line break cannot forge a
// line of the log.
std::string TTerminalView::Shown(const std::string& Text) const { return EscapeControls(Text); }

void TTerminalView::DrawBlock() {
  ClearBlock();
  // The block fits the terminal: each line within its width (a line that
  // wrapped would stay behind when the block is redrawn), and no taller
  // than it, lanes beyond the room summed up in one line.
  struct winsize size {};
  const bool known = ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
  const int columns = known ? size.ws_col - 1 : 79;
  const int rows = known ? std::max(size.ws_row - 1, 1) : 24;
  std::vector<std::string> lines;
  for (const TLaneState& l : FLaneStates) {
    if (!l.Running || l.Output.empty()) continue;
    char pct[16];
    if (l.Percent < 0)
      std::snprintf(pct, sizeof pct, "[ ...]");
    else
      std::snprintf(pct, sizeof pct, "[%3d%%]", std::min(l.Percent, 100));
    lines.push_back(std::string(pct) + " " + EscapeControls(l.Input) + " -> " + EscapeControls(l.Output));
  }
  const int room = rows - (FLanes > 1 ? 1 : 0);
  if (static_cast<int>(lines.size()) > room) {
    const size_t shown = static_cast<size_t>(std::max(room - 1, 0));
    const size_t more = lines.size() - shown;
    lines.resize(shown);
    lines.push_back("... and " + std::to_string(more) + " more converting");
  }
  if (FLanes > 1) {
    const int done = FConverted + FSkipped + FFailed;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    char total[160];
    if (done > 0 && FTotal > done)
      std::snprintf(total, sizeof total, "%d of %d files done, %.1f MB written, about %.0f s left", done, FTotal,
                    static_cast<double>(FBytes) / 1e6, elapsed / done * (FTotal - done));
    else
      std::snprintf(total, sizeof total, "%d of %d files done, %.1f MB written", done, FTotal,
                    static_cast<double>(FBytes) / 1e6);
    lines.push_back(total);
  }
  lines.resize(std::min<size_t>(lines.size(), static_cast<size_t>(rows)));
  for (size_t i = 0; i < lines.size(); ++i)
    SayOnError("%s\033[K%s", i ? "\n" : "\r", CutToWidth(lines[i], columns).c_str());
  FBlockLines = static_cast<int>(lines.size());
}

void TTerminalView::Message(const char* Format, const std::string& A, const std::string& B) {
  ClearBlock();
  SayOnError(Format, Shown(A).c_str(), Shown(B).c_str());
  if (FTerminal && !FQuiet) DrawBlock();
}

bool TTerminalView::ConfirmOverwrite(const std::string& Path) {
  ClearBlock();
  for (;;) {
    SayOnError("%s exists. Replace it? [y/N] ", Shown(Path).c_str());
    // Waits for a line while watching for a stop signal, which may arrive
    // before the wait begins as well as during it.
    bool ready = false;
    while (!FInterrupted() && !ready) {
      struct pollfd in {
        STDIN_FILENO, POLLIN, 0
      };
      ready = ::poll(&in, 1, 100) > 0;
    }
    std::string answer;
    if (FInterrupted() || !std::getline(std::cin, answer)) {
      SayOnError("\n");
      FQuestionInterrupted = FInterrupted();
      return false;
    }
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    if (answer.empty() || answer == "n" || answer == "N" || answer == "no") return false;
  }
}

void TTerminalView::Record(const TFileResult& Result, double Seconds) {
  const bool wrote = Result.Outcome == TFileOutcome::Converted || Result.Outcome == TFileOutcome::Failed;
  const int64_t bytes = wrote ? FileSize(Result.Output) : 0;
  FBytes += bytes;
  FRecords.push_back({Result, bytes, Seconds});
}

void TTerminalView::FileFinished(int Lane, const TFileResult& Result) {
  double seconds = 0;
  if (Lane >= 0) {
    TLaneState& l = FLaneStates[Lane];
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - l.Started).count();
    l.Running = false;
  }
  if (FQuestionInterrupted && Result.Outcome == TFileOutcome::Skipped) {
    // The question was cut short by a stop: its file is not started.
    FQuestionInterrupted = false;
    FileFinished(-1, {Result.Source, "", TFileOutcome::NotStarted, TReason::RunStopped, "the run was stopped"});
    return;
  }
  Record(Result, seconds);
  ClearBlock();  // standard output may share the terminal
  switch (Result.Outcome) {
    case TFileOutcome::Converted:
      ++FConverted;
      // A stop cuts the wait for a reader short: the path is then not written.
      if (!FJson && !WriteStandardOutput(ForStandardOutput(Result.Output) + "\n") && !FInterrupted())
        FOutputClosed = true;
      if (!FQuiet) Message("done %s%s\n", Result.Output, "");
      // A warning is shown even without progress: the file is not what its
      // source promised, or its tags lost something.
      for (const TWarning& w : Result.Warnings) Message("warning %s: %s\n", Result.Output, w.Text);
      break;
    case TFileOutcome::Skipped:
      ++FSkipped;
      if (!FQuiet) Message("skipped %s: %s\n", Result.Source, Result.Message);
      break;
    case TFileOutcome::Failed: {
      ++FFailed;
      // The output is named too: a message such as "Cannot create file"
      // does not say which.
      const std::string what = Result.Output.empty() ? Result.Source : Result.Source + " -> " + Result.Output;
      if (!FQuiet) Message("failed %s: %s\n", what, Result.Message);
      break;
    }
    case TFileOutcome::NotStarted: ++FNotStarted; break;
  }
  if (FTerminal && !FQuiet) DrawBlock();
}

void TTerminalView::PrintSummary() {
  ClearBlock();
  SayOnError("%d converted, %d skipped, %d failed", FConverted, FSkipped, FFailed);
  if (FNotStarted > 0) SayOnError(", %d not started", FNotStarted);
  SayOnError("\n");
  for (const TRecord& record : FRecords) {
    const TFileResult& r = record.Result;
    if (r.Outcome == TFileOutcome::Failed)
      SayOnError("  %s: %s\n", Shown(r.Output.empty() ? r.Source : r.Source + " -> " + r.Output).c_str(),
                 Shown(r.Message).c_str());
    else if (r.Outcome == TFileOutcome::NotStarted)
      SayOnError("  %s: not started\n", Shown(r.Source).c_str());
  }
  if (!FJson) return;
  std::vector<std::string> files;
  for (const TRecord& r : FRecords) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "\"seconds\": %.3f", r.Seconds);
    files.push_back(JsonFile(r.Result, {"\"bytes\": " + std::to_string(r.Bytes), seconds}));
  }
  WriteStandardOutput(JsonRun("", FWarnings, files, JsonTotals(FConverted, FSkipped, FFailed, FNotStarted, FBytes)));
}

}  // namespace tonvale
