#pragma once
// The progress window: shows the batch of the driver it owns and answers
// its overwrite question.

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "conversion/batch_driver.h"

namespace tonvale::gui {

class TfrmEncodeProgress : public QDialog, public IBatchView {
  Q_OBJECT
 public:
  // Creates the batch; its first step runs once the window's loop does, so
  // the mode set in between is in force.
  TfrmEncodeProgress(QWidget* Owner, std::vector<std::string> FileList);
  ~TfrmEncodeProgress() override;

  void SetMode(int Mode) { Driver->Mode = Mode; }
  TBatchDriver& Batch() { return *Driver; }

  void bStopClick() { close(); }
  // Stops the running output (waiting for it), then tells of the files that
  // failed, once.
  void FormClose();

  // IBatchView
  void ShowInputFileName(const std::string& Name) override;
  void ShowOutputFileName(const std::string& Name) override;
  void ShowOutputFolder(const std::string& Folder) override;
  void ShowSelectedTracks(int Count) override;
  void ShowCompleted(int Count) override;
  void ShowProgressHint(const std::string& Hint) override;
  void ShowProgressCaption(const std::string& Caption) override;
  void ShowProgress(int Percent) override;
  bool ConfirmOverwrite(const std::string& Path) override;
  void FileFinished(const TFileResult& Result) override;
  void BatchClosed() override;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void reject() override;

 private:
  QLabel* Value(const QString& Name, const QString& Caption, int Y);

  QLabel *lInputFileName, *lOutputFileName, *lOutputFolder, *lSelectedTracks, *lCompleted, *lProgressHint;
  QProgressBar* ProgressBar1;
  QPushButton* bStop;
  std::unique_ptr<TBatchDriver> Driver;
  std::vector<TFileResult> Failures;
  bool FClosing = false;
};

}  // namespace tonvale::gui
