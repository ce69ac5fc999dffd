#pragma once
// What the batch driver shows and asks: the window, the command line and the
// tests each implement it.

#include <string>

#include "conversion/file_result.h"

namespace tonvale {

class IBatchView {
 public:
  virtual ~IBatchView() = default;
  virtual void ShowInputFileName(const std::string& Name) = 0;   // "Current Input File:"
  virtual void ShowOutputFileName(const std::string& Name) = 0;  // "Current Output File:"
  virtual void ShowOutputFolder(const std::string& Folder) = 0;  // "Output Folder:"
  // The whole paths of the file being started, for a view that tells them.
  virtual void ShowPaths(const std::string& Source, const std::string& Output) {
    (void)Source;
    (void)Output;
  }
  virtual void ShowSelectedTracks(int Count) = 0;  // "Selected files:"
  virtual void ShowCompleted(int Count) = 0;       // "Completed:"
  // The hint above the bar ("Encoding..."), set once when the batch is made.
  virtual void ShowProgressHint(const std::string& Hint) { (void)Hint; }
  // The bar's caption until the file's first progress report.
  virtual void ShowProgressCaption(const std::string& Caption) = 0;
  virtual void ShowProgress(int Percent) = 0;
  // "<Path> has existed, overite it?": true to replace the file. Asked only
  // when the run's overwrite policy is to ask.
  virtual bool ConfirmOverwrite(const std::string& Path) = 0;
  // Each file's outcome, once it is known.
  virtual void FileFinished(const TFileResult& Result) = 0;
  // The batch has ended (all files dealt with, or stopped).
  virtual void BatchClosed() = 0;
};

}  // namespace tonvale
