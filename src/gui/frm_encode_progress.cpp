#include "gui/frm_encode_progress.h"

#include <QCloseEvent>
#include <algorithm>
#include <filesystem>

#include "conversion/conversion_modes.h"
#include "gui/end_report.h"

#include "gui/dialogs.h"
#include "gui/text_fit.h"
#include "gui/widgets.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

namespace tonvale::gui {

namespace {

std::unique_ptr<TConversionRun> RunOf(std::vector<std::string> FileList, TConversionMode Mode) {
  TRunRequest request;
  request.Values = TRunValues::Current();
  request.Plan.Sources = std::move(FileList);
  request.Plan.Mode = Mode;
  request.Plan.SameAsInputFolder = request.Values.Settings.SameAsInputFolder;
  request.Plan.OutputFolder = request.Values.Settings.OutputFolder;
  auto run = std::make_unique<TConversionRun>(std::move(request));
  // The tag values as they stand, not prepared from the sources.
  run->EditTags = [tags = TagValues](TConversionMode, const std::vector<TPlannedFile>&, TTagValues& Tags) {
    Tags = tags;
    return true;
  };
  return run;
}

}  // namespace

TfrmEncodeProgress::TfrmEncodeProgress(QWidget* Owner, std::vector<std::string> FileList, TConversionMode Mode)
    : TfrmEncodeProgress(Owner, RunOf(std::move(FileList), Mode)) {
  Start();
}

TfrmEncodeProgress::TfrmEncodeProgress(QWidget* Owner, std::unique_ptr<TConversionRun> ARun)
    : QDialog(Owner), Run(std::move(ARun)) {
  MakeControls();
  Run->OnClosed = [this] {
    if (FClosing) return;
    FormClose();
    done(QDialog::Accepted);
  };
}

size_t TfrmEncodeProgress::CountOf(TFileOutcome Outcome) const {
  return static_cast<size_t>(
      std::count_if(Results.begin(), Results.end(), [Outcome](const TFileResult& R) { return R.Outcome == Outcome; }));
}

bool TfrmEncodeProgress::Start() {
  FElapsed.start();
  // The time the conversion took leaves out the time the tag editor waits.
  if (auto edit = Run->EditTags)
    Run->EditTags = [this, edit](TConversionMode Mode, const std::vector<TPlannedFile>& Files, TTagValues& Tags) {
      QElapsedTimer waited;
      waited.start();
      const bool started = edit(Mode, Files, Tags);
      FWaitedMs += waited.elapsed();
      return started;
    };
  // The window is every lane's view and outlives the run it owns.
  return Run->Start([this](int) { return std::shared_ptr<IBatchView>(std::shared_ptr<void>(), this); });
}

void TfrmEncodeProgress::MakeControls() {
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
  ProgressBar1->setAccessibleName("Progress");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFormat("0%");
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  lWaiting = Place<QLabel>(this, "lWaiting", {16, 205, 334, 18});
  lWaiting->setTextFormat(Qt::PlainText);
  lWaiting->hide();
  bStop = Place<QPushButton>(this, "bStop", {143, 205, 80, 26}, "Stop");
  bStop->setAutoDefault(false);
  connect(bStop, &QPushButton::clicked, this, [this] { bStopClick(); });
  GrowToFitText(this);
}

TfrmEncodeProgress::~TfrmEncodeProgress() {
  FClosing = true;
  Run.reset();
}

QLabel* TfrmEncodeProgress::Value(const QString& Name, const QString& Caption, int Y) {
  auto* caption = new QLabel(Caption, this);
  caption->setGeometry(16, Y, 130, 18);
  auto* value = new QLabel(this);
  value->setObjectName(Name);
  value->setTextFormat(Qt::PlainText);  // a file name is never markup
  value->setGeometry(150, Y, 200, 18);
  // A screen reader reads the value with its caption.
  caption->setBuddy(value);
  value->setAccessibleName(QString(Caption).remove(':'));
  return value;
}

namespace {

// A name longer than its label is cut in the middle, so both its start and
// its extension show; the tooltip holds it whole.
void ShowElided(QLabel* Label, const std::string& Text, const std::string& Tip) {
  const QString text = DecodePath(Text);
  Label->setText(Label->fontMetrics().elidedText(text, Qt::ElideMiddle, Label->width()));
  Label->setToolTip(DecodePath(Tip));
}

}  // namespace

void TfrmEncodeProgress::ShowInputFileName(const std::string& Name) { ShowElided(lInputFileName, Name, Name); }
void TfrmEncodeProgress::ShowOutputFileName(const std::string& Name) { ShowElided(lOutputFileName, Name, Name); }
void TfrmEncodeProgress::ShowOutputFolder(const std::string& Folder) { ShowElided(lOutputFolder, Folder, Folder); }
void TfrmEncodeProgress::ShowPaths(const std::string& Source, const std::string& Output) {
  lInputFileName->setToolTip(DecodePath(Source));
  lOutputFileName->setToolTip(DecodePath(Output));
}
void TfrmEncodeProgress::ShowWaiting(const std::vector<std::string>& Paths) {
  if (Paths.empty()) return;
  size_t folders = 0;
  for (const std::string& p : Paths) {
    std::error_code ec;
    folders += std::filesystem::is_directory(p, ec) ? 1 : 0;
  }
  const size_t files = Paths.size() - folders;
  QStringList what;
  if (files) what << QString("%1 file%2").arg(files).arg(files == 1 ? "" : "s");
  if (folders) what << QString("%1 folder%2").arg(folders).arg(folders == 1 ? "" : "s");
  const QString named = Paths.size() == 1 ? DecodePath(FileNamePart(Paths[0])) : what.join(" and ");
  QStringList all;
  for (const std::string& p : Paths) all << DecodePath(p);
  if (lWaiting->isHidden()) {
    // A line above the Stop button, which moves down with the window's edge.
    const int row = lWaiting->height() + 8;
    lWaiting->move(lWaiting->x(), bStop->y());
    bStop->move(bStop->x(), bStop->y() + row);
    setFixedHeight(height() + row);
    lWaiting->show();
  }
  lWaiting->setText(lWaiting->fontMetrics().elidedText(QString("Waiting for this batch to end: %1").arg(named),
                                                       Qt::ElideMiddle, lWaiting->width()));
  lWaiting->setToolTip(all.join("\n"));
  lWaiting->setAccessibleName(lWaiting->text());
}

void TfrmEncodeProgress::ShowSelectedTracks(int Count) { lSelectedTracks->setText(QString::number(Count)); }
void TfrmEncodeProgress::ShowCompleted(int Count) { lCompleted->setText(QString::number(Count)); }

void TfrmEncodeProgress::ShowProgressHint(const std::string& Hint) {
  lProgressHint->setText(QString::fromStdString(Hint));
}

// The bar shows the hint's caption until the first report of the file; with
// several lanes the bar is the batch's, and keeps its percentage once shown.
void TfrmEncodeProgress::ShowProgressCaption(const std::string&) {
  if (FProgressShown && Run->Lanes() > 1) return;
  ProgressBar1->setFormat(lProgressHint->text());
}

void TfrmEncodeProgress::ShowProgress(int Percent) {
  if (Run->Lanes() > 1)
    Percent = Run->Batch()->Percent();
  else if (Percent < 0)
    return;  // the length is not known
  ProgressBar1->setValue(std::min(Percent, 100));
  ProgressBar1->setFormat("%p%");
  FProgressShown = true;
}

bool TfrmEncodeProgress::ConfirmOverwrite(const std::string& Path) {
  // One answer may stand for every later question of the run.
  if (FAnswerForAll != QMessageBox::NoButton) return FAnswerForAll == QMessageBox::YesToAll;
  QElapsedTimer waited;
  waited.start();
  const auto answer = ShowMessage(this, QMessageBox::Question, DecodePath(Path) + " has existed, overwrite it?",
                                  QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll);
  FWaitedMs += waited.elapsed();
  if (answer == QMessageBox::YesToAll || answer == QMessageBox::NoToAll) FAnswerForAll = answer;
  return answer == QMessageBox::Yes || answer == QMessageBox::YesToAll;
}

void TfrmEncodeProgress::FileFinished(const TFileResult& Result) {
  if (LeftOut != TReason::None && Result.Reason == LeftOut) return;
  Results.push_back(Result);
  if (Run->Lanes() > 1) ShowProgress(Run->Batch()->Percent());
}

void TfrmEncodeProgress::FormClose() {
  if (FClosing) return;
  FClosing = true;
  if (!Run->Closed()) Run->Stop();
  const TEndReport report = MakeEndReportAside(Results);
  if (!report.Details.isEmpty()) {
    ShowEndReport(this, report);
    return;
  }
  // Nothing to tell of file by file: the main window's status line says it.
  const auto modes = Run->Plan().Modes();
  const QString target = modes.size() == 1 ? " to " + QString(ModeInfo(modes[0])->Target).toUpper() : QString();
  const qint64 seconds = FElapsed.isValid() ? std::max<qint64>(0, FElapsed.elapsed() - FWaitedMs) / 1000 : 0;
  const QString time = QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
  const size_t converted = CountOf(TFileOutcome::Converted);
  QStringList parts{QString("%1 file%2 converted%3 in %4").arg(converted).arg(converted == 1 ? "" : "s", target, time)};
  if (const size_t kept = CountOf(TFileOutcome::Skipped)) parts << KeptAsChosen(kept);
  FStatus = parts.join(", ");
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
