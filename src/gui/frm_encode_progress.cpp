#include "gui/frm_encode_progress.h"

#include <QCloseEvent>

#include "gui/dialogs.h"
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

bool TfrmEncodeProgress::Start() {
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
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFormat("0%");
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  bStop = Place<QPushButton>(this, "bStop", {143, 205, 80, 26}, "Stop");
  bStop->setAutoDefault(false);
  connect(bStop, &QPushButton::clicked, this, [this] { bStopClick(); });
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
  return ShowMessage(this, QMessageBox::Information, DecodePath(Path) + " has existed, overite it?",
                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TfrmEncodeProgress::FileFinished(const TFileResult& Result) {
  Results.push_back(Result);
  if (Run->Lanes() > 1) ShowProgress(Run->Batch()->Percent());
}

QString EndReport(const std::vector<TFileResult>& Results) {
  std::vector<TFileResult> failures, skips, shortened;
  for (TFileResult r : Results) {
    if (r.Outcome == TFileOutcome::Failed) failures.push_back(r);
    if (r.Outcome == TFileOutcome::Skipped && !r.Declined()) skips.push_back(r);
    if (const std::string lost = r.WarningText(TWarningKind::TagsShortened); !lost.empty()) {
      r.Source = r.Output;
      r.Message = lost;
      shortened.push_back(r);
    }
  }
  auto list = [](const std::vector<TFileResult>& Files, const QString& One, const QString& Several) {
    if (Files.empty()) return QString();
    QString text = Files.size() == 1 ? One : Several.arg(Files.size());
    for (const TFileResult& f : Files) text += "\n" + DecodePath(f.Source) + "\n    " + DecodePath(f.Message);
    return text;
  };
  QStringList parts;
  for (const QString& part :
       {list(failures, "This file could not be converted:\n", "These %1 files could not be converted:\n"),
        list(skips, "This file was skipped:\n", "These %1 files were skipped:\n"),
        list(shortened, "Tags shortened:\n", "Tags shortened (%1 files):\n")})
    if (!part.isEmpty()) parts << part;
  return parts.join("\n\n");
}

void TfrmEncodeProgress::FormClose() {
  if (FClosing) return;
  FClosing = true;
  if (!Run->Closed()) Run->Stop();
  const QString report = EndReport(Results);
  if (!report.isEmpty()) ShowMessage(this, QMessageBox::Warning, report);
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
