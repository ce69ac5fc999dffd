#pragma once
// The batch driver's view on a terminal: written paths on standard output,
// progress on standard error, the overwrite question on the terminal.

#include <functional>
#include <string>
#include <vector>

#include "conversion/batch_view.h"

namespace tonvale {

enum class TOverwritePolicy { Ask, Always, Never };

class TTerminalView : public IBatchView {
 public:
  // Interrupted tells whether a stop signal has arrived.
  TTerminalView(TOverwritePolicy Overwrite, bool Quiet, std::function<bool()> Interrupted);

  void ShowInputFileName(const std::string& Name) override;
  void ShowOutputFileName(const std::string& Name) override;
  void ShowOutputFolder(const std::string&) override {}
  void ShowSelectedTracks(int) override {}
  void ShowCompleted(int) override {}
  void ShowProgressCaption(const std::string&) override {}
  void ShowProgress(int Percent) override;
  bool ConfirmOverwrite(const std::string& Path) override;
  void FileFinished(const TFileResult& Result) override;
  void BatchClosed() override {}

  // Counts a file that never reached a batch.
  void Fail(const std::string& Source, const std::string& Message);
  void Skip(const std::string& Source, const std::string& Message);
  // Counts a file that was never started because the run was stopped.
  void NotStarted(const std::string& Source);
  // "N converted, N skipped, N failed" (", N not started" after a stop),
  // then each failure and each file not started.
  void PrintSummary() const;
  int Converted() const { return FConverted; }
  int Skipped() const { return FSkipped; }
  int Failed() const { return static_cast<int>(FFailures.size()); }
  int NotStartedCount() const { return static_cast<int>(FNotStarted.size()); }

 private:
  void EndProgressLine();

  TOverwritePolicy FOverwrite;
  bool FQuiet;
  bool FTerminal;
  bool FLineOpen = false;
  std::string FInput, FOutput;
  int FLastPercent = -2;
  int FConverted = 0, FSkipped = 0;
  std::vector<std::pair<std::string, std::string>> FFailures;
  std::vector<std::string> FNotStarted;
  std::function<bool()> FInterrupted;
  // The question was cut short by a stop: the file it was about is not started.
  bool FQuestionInterrupted = false;
};

}  // namespace tonvale
