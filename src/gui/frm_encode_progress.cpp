#include "gui/frm_encode_progress.h"

#include <QCloseEvent>

#include "gui/dialogs.h"
#include "gui/widgets.h"

namespace tonvale::gui {

TfrmEncodeProgress::TfrmEncodeProgress(QWidget* Owner, std::vector<std::string> FileList) : QDialog(Owner) {
  setObjectName("frmEncodeProgress");
  setWindowTitle("Tonvale");
  setFixedSize(366, 243);
  lInputFileName = Value("lInputFileName", "Current Input File:", 16);
  lOutputFileName = Value("lOutputFileName", "Current Output File:", 42);
  lOutputFolder = Value("lOutputFolder", "Output Folder:", 68);
  lSelectedTracks = Value("lSelectedTracks", "Selected files:", 94);
  lCompleted = Value("lCompleted", "Completed:", 120);
  lProgressHint = new QLabel(this);
  lProgressHint->setObjectName("lProgressHint");
  lProgressHint->setTextFormat(Qt::PlainText);
  lProgressHint->setGeometry(16, 150, 334, 18);
  ProgressBar1 = Place<QProgressBar>(this, "ProgressBar1", {16, 170, 334, 22});
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFormat("0%");
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  bStop = Place<QPushButton>(this, "bStop", {143, 205, 80, 26}, "Stop");
  bStop->setAutoDefault(false);
  connect(bStop, &QPushButton::clicked, this, [this] { bStopClick(); });
  Driver = std::make_unique<TBatchDriver>(*this, std::move(FileList));
}

TfrmEncodeProgress::~TfrmEncodeProgress() {
  FClosing = true;
  Driver.reset();
}

QLabel* TfrmEncodeProgress::Value(const QString& Name, const QString& Caption, int Y) {
  auto* caption = new QLabel(Caption, this);
  caption->setGeometry(16, Y, 130, 18);
  auto* value = new QLabel(this);
  value->setObjectName(Name);
  value->setTextFormat(Qt::PlainText);  // a file name is never markup
  value->setGeometry(150, Y, 200, 18);
  return value;
}

void TfrmEncodeProgress::ShowInputFileName(const std::string& Name) {
  lInputFileName->setText(QString::fromStdString(Name));
}
void TfrmEncodeProgress::ShowOutputFileName(const std::string& Name) {
  lOutputFileName->setText(QString::fromStdString(Name));
}
void TfrmEncodeProgress::ShowOutputFolder(const std::string& Folder) {
  lOutputFolder->setText(QString::fromStdString(Folder));
  lOutputFolder->setToolTip(QString::fromStdString(Folder));
}
void TfrmEncodeProgress::ShowSelectedTracks(int Count) { lSelectedTracks->setText(QString::number(Count)); }
void TfrmEncodeProgress::ShowCompleted(int Count) { lCompleted->setText(QString::number(Count)); }

void TfrmEncodeProgress::ShowProgressHint(const std::string& Hint) {
  lProgressHint->setText(QString::fromStdString(Hint));
}

// The bar shows the hint's caption until the first report of the file.
void TfrmEncodeProgress::ShowProgressCaption(const std::string&) { ProgressBar1->setFormat(lProgressHint->text()); }

void TfrmEncodeProgress::ShowProgress(int Percent) {
  if (Percent < 0) return;  // the length is not known
  ProgressBar1->setValue(std::min(Percent, 100));
  ProgressBar1->setFormat("%p%");
}

bool TfrmEncodeProgress::ConfirmOverwrite(const std::string& Path) {
  return ShowMessage(this, QMessageBox::Information,
                     QString::fromStdString(Path) + " has existed, overite it?",
                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TfrmEncodeProgress::FileFinished(const TFileResult& Result) {
  if (Result.Outcome == TFileOutcome::Failed) Failures.push_back(Result);
}

void TfrmEncodeProgress::FormClose() {
  if (FClosing) return;
  FClosing = true;
  if (!Driver->Closed()) Driver->bStopClick();
  if (Failures.empty()) return;
  QString text = Failures.size() == 1 ? "This file could not be converted:\n"
                                      : QString("These %1 files could not be converted:\n").arg(Failures.size());
  for (const TFileResult& f : Failures)
    text += "\n" + QString::fromStdString(f.Source) + "\n    " + QString::fromStdString(f.Message);
  ShowMessage(this, QMessageBox::Warning, text);
}

void TfrmEncodeProgress::BatchClosed() {
  if (FClosing) return;
  FormClose();
  done(QDialog::Accepted);
}

void TfrmEncodeProgress::closeEvent(QCloseEvent* Event) {
  FormClose();
  QDialog::closeEvent(Event);
}

void TfrmEncodeProgress::reject() {
  FormClose();
  QDialog::reject();
}

}  // namespace tonvale::gui
