#pragma once
// The progress window: shows the batch it runs on one or several lanes and
// answers the overwrite question; at the end, one box tells of every file
// that failed or was skipped.

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"

namespace tonvale::gui {

class TfrmEncodeProgress : public QDialog, public IBatchView {
  Q_OBJECT
 public:
  // Starts FileList in Mode with Settings and TagValues as they stand, on
  // the lanes Settings.Jobs asks for; its first steps run once the window's
  // loop does.
  TfrmEncodeProgress(QWidget* Owner, std::vector<std::string> FileList, TConversionMode Mode);
  // Shows Run, which Start starts; the files it refused are told of at the
  // end with the others.
  TfrmEncodeProgress(QWidget* Owner, std::unique_ptr<TConversionRun> Run);
  ~TfrmEncodeProgress() override;

  // Starts the run: false when it did not start (its tag values declined).
  bool Start();
  // The running batch.
  TBatchRun& Batch() { return *Run->Batch(); }

  void bStopClick() { close(); }
  // Stops every lane (waiting for their outputs), then tells of the files
  // that failed or were skipped, once.
  void FormClose();

  // What the main window's status line says of a run that ended with nothing
  // to tell file by file ("12 files converted to MP3 in 0:42"); empty when
  // the end box told of it.
  const QString& Status() const { return FStatus; }

  // Tells, on a line of its own, of files and folders opened with the
  // program while this batch runs: they wait for it to end.
  void ShowWaiting(const std::vector<std::string>& Paths);

  // Files refused for this reason are left out of the end box (another
  // conversion is offered for them).
  TReason LeftOut = TReason::None;

  // IBatchView
  void ShowInputFileName(const std::string& Name) override;
  void ShowOutputFileName(const std::string& Name) override;
  void ShowOutputFolder(const std::string& Folder) override;
  void ShowPaths(const std::string& Source, const std::string& Output) override;
  void ShowSelectedTracks(int Count) override;
  void ShowCompleted(int Count) override;
  void ShowProgressHint(const std::string& Hint) override;
  void ShowProgressCaption(const std::string& Caption) override;
  void ShowProgress(int Percent) override;
  bool ConfirmOverwrite(const std::string& Path) override;
  void FileFinished(const TFileResult& Result) override;
  void BatchClosed() override {}

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void reject() override;

 private:
  void MakeControls();
  QLabel* Value(const QString& Name, const QString& Caption, int Y);

  QLabel *lInputFileName, *lOutputFileName, *lOutputFolder, *lSelectedTracks, *lCompleted, *lProgressHint, *lWaiting;
  QProgressBar* ProgressBar1;
  QPushButton* bStop;
  std::unique_ptr<TConversionRun> Run;
  std::vector<TFileResult> Results;  // refused by the plan, then as they end
  size_t CountOf(TFileOutcome Outcome) const;
  QElapsedTimer FElapsed;
  qint64 FWaitedMs = 0;  // of FElapsed, spent waiting for the user's answers
  QString FStatus;
  // Yes to All or No to All once given; NoButton before.
  QMessageBox::StandardButton FAnswerForAll = QMessageBox::NoButton;
  bool FProgressShown = false;
  bool FClosing = false;
};

}  // namespace tonvale::gui
