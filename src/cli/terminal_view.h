#pragma once
// The batch drivers' view on a terminal: written paths (or one JSON object)
// on standard output, progress on standard error, the overwrite question on
// the terminal. Several drivers share it, each through its own lane.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversion/batch_view.h"
#include "conversion/run_values.h"

namespace tonvale {

class TTerminalView {
 public:
  // Interrupted tells whether a stop signal has arrived. The overwrite
  // question is asked on the terminal whenever a lane asks it.
  TTerminalView(bool Quiet, bool Json, std::function<bool()> Interrupted);

  // The view one driver talks to; Lane numbers the drivers from 0, and lane
  // -1 is told of the files that end without a driver.
  std::unique_ptr<IBatchView> Lane(int Lane);
  // Files the run will start in all, for the total line.
  void SetTotal(int Files) { FTotal = Files; }
  // The settings' warnings, for the JSON object.
  void SetWarnings(std::vector<std::string> Warnings) { FWarnings = std::move(Warnings); }
  // Several files run at once: one progress line per running file.
  void SetLanes(int Lanes) { FLanes = Lanes; }

  // "N converted, N skipped, N failed" (", N not started" after a stop),
  // then each failure and each file not started; with Json, the run's JSON
  // object on standard output as well.
  void PrintSummary();

  int Failed() const { return FFailed; }
  // Standard output could not be written: its reader went away.
  bool OutputClosed() const { return FOutputClosed; }

 private:
  friend class TLaneView;
  struct TRecord {
    TFileResult Result;
    int64_t Bytes = 0;
    double Seconds = 0;
  };
  struct TLaneState {
    std::string Input, Output;
    int Percent = -2;
    std::chrono::steady_clock::time_point Started;
    bool Running = false;
  };

  void LaneInput(int Lane, const std::string& Name);
  void LaneOutput(int Lane, const std::string& Name);
  void LaneProgress(int Lane, int Percent);
  bool ConfirmOverwrite(const std::string& Path);
  void FileFinished(int Lane, const TFileResult& Result);
  void Record(const TFileResult& Result, double Seconds);
  // Progress on a terminal: the running files and a total line, redrawn in
  // place; ClearBlock takes it away before a message line.
  void DrawBlock();
  void ClearBlock();
  void Message(const char* Format, const std::string& A, const std::string& B);
  // Text for standard error: escaped where that is a terminal.
  std::string Shown(const std::string& Text) const;

  bool FQuiet, FJson, FTerminal;
  std::function<bool()> FInterrupted;
  int FTotal = 0, FLanes = 1, FBlockLines = 0;
  std::vector<TLaneState> FLaneStates;
  std::vector<TRecord> FRecords;
  std::vector<std::string> FWarnings;
  int FConverted = 0, FSkipped = 0, FFailed = 0, FNotStarted = 0;
  int64_t FBytes = 0;
  std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
  // The question was cut short by a stop: the file it was about is not started.
  bool FQuestionInterrupted = false;
  bool FOutputClosed = false;
};

}  // namespace tonvale
