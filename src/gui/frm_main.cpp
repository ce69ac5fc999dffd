#include "gui/frm_main.h"

#include <QAccessibleWidget>
#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <filesystem>

#include "conversion/conversion_modes.h"
#include "conversion/tag_preparation.h"
#include "gui/dialogs.h"
#include "gui/end_report.h"
#include "gui/text_fit.h"
#include "gui/widgets.h"
#include "gui/frm_about.h"
#include "gui/frm_encode_progress.h"
#include "gui/frm_options.h"
#include "gui/frm_tag_editor.h"
#include "gui/links.h"
#include "gui/mode_button.h"
#include "gui/pictures.h"
#include "gui/skin/skin.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"

namespace tonvale::gui {
namespace {

void PaintLine(QFrame* Line) {
  QPalette p = Line->palette();
  p.setColor(QPalette::Window, AccentColor().lighter(150));
  Line->setPalette(p);
}

// The open-file dialog's filter and title of each mode.
void DialogFor(TConversionMode Mode, QStringList& Filters, QString& Title) {
  const TModeInfo* m = ModeInfo(Mode);
  Title = QString(m ? m->DialogTitle : "Audio Converter") + " (One or multiple files)";
  Filters = {QString("Sound file(*.%1)").arg(m ? m->Source : "wav"), "Any file(*)"};
}

const QColor kOnPicture(235, 245, 250);

// The main window as a screen reader sees it: a frame, its children those
// that show (the hidden genre list is only for looking names up).
class TMainAccessible : public QAccessibleWidget {
 public:
  explicit TMainAccessible(QWidget* Window) : QAccessibleWidget(Window, QAccessible::Window) {}
  int childCount() const override { return static_cast<int>(Shown().size()); }
  QAccessibleInterface* child(int Index) const override {
    const QList<QWidget*> shown = Shown();
    return Index >= 0 && Index < shown.size() ? QAccessible::queryAccessibleInterface(shown[Index]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* Child) const override {
    return Child ? static_cast<int>(Shown().indexOf(qobject_cast<QWidget*>(Child->object()))) : -1;
  }

 private:
  QList<QWidget*> Shown() const {
    QList<QWidget*> shown;
    for (QObject* o : widget()->children())
      if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden()) shown << w;
    return shown;
  }
};

QAccessibleInterface* MainAccessible(const QString&, QObject* Object) {
  auto* main = qobject_cast<TfrmMain*>(Object);
  return main ? new TMainAccessible(main) : nullptr;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QWidget(Parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName("frmMain");
  setWindowTitle("Tonvale");
  setFixedSize(400, 303);
  setWindowIcon(Picture("icon"));
  Image1 = Place<QLabel>(this, "Image1", {0, 0, 400, 303});
  Image1->setScaledContents(true);
  Image1->setPixmap(Picture("background"));

  QLabel* title = Label("lTitle", "Tonvale", 14, 8, true);
  QFont big = title->font();
  big.setPointSize(big.pointSize() + 5);
  title->setFont(big);
  title->adjustSize();

  auto pictureButton = [this](const QString& Name, const QString& Hint, const QString& Glyph, int X) {
    auto* b = new QToolButton(this);
    b->setObjectName(Name);
    b->setToolTip(Hint);
    b->setAccessibleName(Hint);
    b->setText(Glyph);
    b->setAutoRaise(true);
    b->setStyleSheet("QToolButton:focus { border: 1px solid rgba(255,255,255,190); border-radius: 3px; }");
    b->setCursor(Qt::PointingHandCursor);
    b->setGeometry(X, 6, 24, 22);
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, kOnPicture);
    b->setPalette(p);
    return b;
  };
  connect(pictureButton("bMinimize", "Minimize", QString(QChar(0x2013)), 344), &QToolButton::clicked, this,
          [this] { bMinimizeClick(); });
  connect(pictureButton("bClose", "Close", QString(QChar(0x2715)), 370), &QToolButton::clicked, this,
          [this] { bCloseClick(); });

  Section("Main", 18, 46, 170);
  int y = 72;
  for (const TModeInfo& m : kModes) {
    auto* b = new TModeButton(m.Caption, this);
    FlatButton(m.Button, m.Caption, m.Hint, 28, y, 150, b);
    b->setProperty("Tag", static_cast<int>(m.Mode));
    connect(b, &QPushButton::clicked, this, [this, b] { bMP3toWMAClick(b); });
    b->OnDrop = [this, Mode = m.Mode](const QStringList& Paths) { StartFiles(Mode, Paths, true); };
    y += 30;
  }
  Section("Options", 212, 46, 170);
  connect(FlatButton("bSettings", "Settings   ", "Open the options dialog to set the output folder and the encoders",
                     222, 72, 150),
          &QPushButton::clicked, this, [this] { bSettingsClick(); });
  connect(FlatButton("bShowFiles", "Show Files", "Open the output folder", 222, 102, 150), &QPushButton::clicked, this,
          [this] { bShowFilesClick(); });
  Section("Help", 212, 140, 170);
  connect(FlatButton("bHomepage", "Homepage", "Homepage", 222, 166, 150), &QPushButton::clicked, this,
          [this] { bHomepageClick(); });
  connect(FlatButton("bDonate", "Donate", "Donate", 222, 192, 150), &QPushButton::clicked, this,
          [this] { bDonateClick(); });
  connect(FlatButton("bAbout", "About", "About", 222, 218, 150), &QPushButton::clicked, this,
          [this] { bAboutClick(); });
  connect(FlatButton("bExit", "Exit", "Exit", 222, 244, 150), &QPushButton::clicked, this, [this] { bExitClick(); });

  auto* link = new QLabel(this);
  link->setObjectName("lbAddress");
  link->setTextFormat(Qt::RichText);
  link->setText(QString("<a href=\"%1\" style=\"color:#bfe9f2\">%2</a>").arg(kHomePage, kMakerAddress));
  link->setOpenExternalLinks(false);
  link->setCursor(Qt::PointingHandCursor);
  link->setToolTip(kMakerAddress);
  connect(link, &QLabel::linkActivated, this, [](const QString& Url) { QDesktopServices::openUrl(QUrl(Url)); });
  link->adjustSize();
  link->move(400 - 16 - link->width(), 278);
  // How the last run ended, when it ended with nothing to tell file by file.
  // Two lines ending with the address's, over the empty foot of the modes.
  lStatus = Label("lStatus", "", 14, 278, false);
  lStatus->setWordWrap(true);
  lStatus->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  const int statusHeight = 2 * lStatus->fontMetrics().lineSpacing() + 2;
  lStatus->setGeometry(14, link->y() + link->height() - statusHeight, link->x() - 24, statusHeight);

  ID3genre = new QComboBox(this);
  ID3genre->setObjectName("ID3genre");
  for (const auto& g : GenreList) ID3genre->addItem(QString::fromStdString(g));
  ID3genre->hide();
  // The keyboard starts on the first mode; the window's own buttons come last.
  setTabOrder(findChild<QWidget*>("bExit"), findChild<QWidget*>("bMinimize"));
  setTabOrder(findChild<QWidget*>("bMinimize"), findChild<QWidget*>("bClose"));
  findChild<QWidget*>(kModes[0].Button)->setFocus();
  static const bool installed = [] {
    QAccessible::installFactory(MainAccessible);
    return true;
  }();
  (void)installed;
  GrowToFitText(this);
  // Centred on the screen it opens on, where the platform lets a program
  // place its window (a Wayland compositor decides for itself).
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  FormCreate();
}

void TfrmMain::ShowStatus(const QString& Text) {
  const QFontMetrics metrics = lStatus->fontMetrics();
  QString shown = Text;
  // Cut at the end where even two lines are too few.
  for (int width = 2 * lStatus->width();
       metrics.boundingRect(lStatus->contentsRect(), Qt::TextWordWrap, shown).height() > lStatus->height();
       width -= metrics.averageCharWidth())
    shown = metrics.elidedText(Text, Qt::ElideRight, width);
  lStatus->setText(shown);
  lStatus->setToolTip(Text);
  lStatus->setAccessibleName(Text);
}

QLabel* TfrmMain::Label(const QString& Name, const QString& Text, int X, int Y, bool Bold) {
  auto* l = new QLabel(this);
  l->setObjectName(Name);
  l->setTextFormat(Qt::PlainText);
  l->setText(Text);
  QFont f = l->font();
  f.setBold(Bold);
  l->setFont(f);
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, kOnPicture);
  l->setPalette(p);
  l->move(X, Y);
  l->adjustSize();
  return l;
}

void TfrmMain::Section(const QString& Text, int X, int Y, int W) {
  Label("l" + Text, Text, X, Y, true);
  auto* line = new QFrame(this);
  line->setObjectName("line" + Text);
  line->setGeometry(X, Y + 19, W, 1);
  line->setAutoFillBackground(true);
  PaintLine(line);
}

void TfrmMain::changeEvent(QEvent* Event) {
  if (Event->type() == QEvent::PaletteChange || Event->type() == QEvent::ApplicationPaletteChange ||
      Event->type() == QEvent::StyleChange)
    for (QFrame* line : findChildren<QFrame*>(QRegularExpression("^line"))) PaintLine(line);
  QWidget::changeEvent(Event);
}

QPushButton* TfrmMain::FlatButton(const QString& Name, const QString& Caption, const QString& Hint, int X, int Y, int W,
                                  QPushButton* Button) {
  QPushButton* b = Button ? Button : new QPushButton(Caption, this);
  b->setObjectName(Name);
  b->setFlat(true);
  b->setToolTip(Hint);
  b->setAccessibleName(Caption.trimmed());
  b->setCursor(Qt::PointingHandCursor);
  b->setGeometry(X, Y, W, 26);
  b->setStyleSheet(
      "QPushButton { color: #ebf5fa; text-align: left; padding-left: 8px; border: none; }"
      "QPushButton:hover { background: rgba(255,255,255,40); border-radius: 4px; }"
      "QPushButton:pressed { background: rgba(255,255,255,70); }"
      "QPushButton:focus { border: 1px solid rgba(255,255,255,190); border-radius: 4px; }"
      "QPushButton[dropTarget=\"true\"] { background: rgba(255,255,255,90); border-radius: 4px; }");
  return b;
}

// The settings are loaded once, when the program starts.
void TfrmMain::FormCreate() { ApplyTheme(QString::fromStdString(Settings.Theme)); }

void TfrmMain::closeEvent(QCloseEvent* Event) {
  SaveOptions();
  Event->accept();
}

void TfrmMain::SaveOptions() {
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    ShowMessage(this, QMessageBox::Critical, QString::fromStdString(e.what()));
  }
}

bool TfrmMain::IsBackgroundPoint(int X, int Y) const {
  for (QObject* child : children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w == Image1 || w->isHidden()) continue;
    auto* button = qobject_cast<QPushButton*>(w);
    if (!qobject_cast<QLabel*>(w) && !(button && button->isFlat())) continue;
    const QRect r = w->geometry();
    if (r.x() <= X && X <= r.x() + r.width() && r.y() <= Y && Y <= r.y() + r.height()) return false;
  }
  return true;
}

void TfrmMain::mousePressEvent(QMouseEvent* Event) {
  const QPoint p = Event->position().toPoint();
  if (Event->button() == Qt::LeftButton && IsBackgroundPoint(p.x(), p.y()) && windowHandle())
    windowHandle()->startSystemMove();
  QWidget::mousePressEvent(Event);
}

void TfrmMain::contextMenuEvent(QContextMenuEvent* Event) {
  QMenu menu(this);
  QMenu* themes = menu.addMenu("Theme");
  const QString current = QString::fromStdString(Settings.Theme);
  // One of the themes: radio items.
  auto* group = new QActionGroup(themes);
  group->setExclusive(true);
  auto add = [&](const QString& Caption, const QString& Name) {
    QAction* a = themes->addAction(Caption, this, [this, Name] { ChooseTheme(Name); });
    group->addAction(a);
    a->setCheckable(true);
    a->setChecked(current.compare(Name, Qt::CaseInsensitive) == 0);
  };
  add("Follow the desktop", "");
  for (const QString& name : ThemeNames()) add(name, name);
  menu.exec(Event->globalPos());
}

void TfrmMain::ChooseTheme(const QString& Name) {
  Settings.Theme = Name.toStdString();
  ApplyTheme(Name);
}

void TfrmMain::RestoreInstance() {
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

bool TfrmMain::CheckOutputFolder() {
  if (tonvale::CheckOutputFolder()) return true;
  ShowMessage(this, QMessageBox::Information, kMissingOutputFolder);
  return false;
}

void TfrmMain::bMP3toWMAClick(QObject* Sender) {
  StartConversion(static_cast<TConversionMode>(Sender->property("Tag").toInt()));
}

void TfrmMain::StartConversion(TConversionMode Mode) {
  if (!CheckOutputFolder()) return;
  QStringList filters;
  QString title;
  DialogFor(Mode, filters, title);
  const QStringList chosen = OpenFiles(this, title, filters);
  if (chosen.isEmpty()) return;
  StartFiles(Mode, chosen, false);
}

namespace {

// Marks the main window busy while a start runs its windows.
struct TBusy {
  explicit TBusy(int& Depth) : FDepth(Depth) { ++FDepth; }
  ~TBusy() { --FDepth; }
  int& FDepth;
};

}  // namespace

void TfrmMain::StartFiles(TConversionMode Mode, const QStringList& Paths, bool Dropped) {
  std::vector<std::string> paths;
  for (const QString& p : Paths) paths.push_back(EncodePath(p));
  StartFiles(Mode, paths, Dropped);
}

void TfrmMain::StartFiles(TConversionMode Mode, const std::vector<std::string>& Paths, bool Dropped) {
  if (Dropped && !CheckOutputFolder()) return;
  TBusy busy(FBusy);
  try {
    TRunRequest request;
    request.Plan = PlanFor(Mode, Paths, Dropped);
    request.Values = TRunValues::Current();
    auto run = std::make_unique<TConversionRun>(std::move(request));
    const TRunPlan& plan = run->Plan();
    if (plan.Files.empty()) {
      // Nothing of the mode's type, or every file refused for its own reason.
      const bool noneOfTheType = std::all_of(plan.Refused.begin(), plan.Refused.end(),
                                             [](const TFileResult& R) { return R.Reason == TReason::NotSourceType; });
      if (Dropped && noneOfTheType)
        ShowMessage(this, QMessageBox::Information,
                    QString("Nothing to convert: none of the dropped files is a %1 file.")
                        .arg(QString::fromStdString(SourceType(Mode)).toUpper()));
      else if (!plan.Refused.empty())
        ShowEndReport(this, MakeEndReportAside(plan.Refused));
      return;
    }
    run->EditTags = [this, settings = run->Values().Settings](TConversionMode M, const std::vector<TPlannedFile>& Files,
                                                              TTagValues& Tags) {
      if (!TagEditorWanted(M, Files.size(), settings)) return true;
      // The editor shows and edits the pending values.
      TagValues = Tags;
      TfrmTagEditor editor(this, TagKeepingFor(M, settings));
      if (Files.size() > 1) editor.DisableTitle();
      if (editor.exec() != QDialog::Accepted) return false;
      // Its "Don't show" box is an option: kept at once, as OK in Options.
      if (Settings.IsShowTagEditor != settings.IsShowTagEditor) SaveOptions();
      Tags = TagValues;
      return true;
    };
    // Dropped files of other types are offered their own conversion once
    // this one has ended, as the desktop's Open With does, not told of as failures.
    std::vector<std::string> otherTypes;
    for (const TFileResult& r : plan.Refused)
      if (Dropped && r.Reason == TReason::NotSourceType) otherTypes.push_back(r.Source);
    ShowStatus({});
    TfrmEncodeProgress progress(this, std::move(run));
    if (!otherTypes.empty()) progress.LeftOut = TReason::NotSourceType;
    TfrmEncodeProgress* const outer = std::exchange(FProgress, &progress);
    if (progress.Start()) progress.exec();
    FProgress = outer;
    ShowStatus(progress.Status());
    if (!otherTypes.empty()) TakeFiles(otherTypes);
  } catch (const std::exception& e) {
    // The start ends, but not silently: the user learns why.
    ShowMessage(this, QMessageBox::Critical,
                QString("The conversion could not start: %1").arg(QString::fromStdString(e.what())));
  }
}

void TfrmMain::TakeFiles(const std::vector<std::string>& Paths) {
  FPending.push_back(Paths);
  // The running batch's window says what waits for it to end.
  if (FProgress) {
    std::vector<std::string> waiting;
    for (const auto& paths : FPending) waiting.insert(waiting.end(), paths.begin(), paths.end());
    FProgress->ShowWaiting(waiting);
  }
  TakePending();
}

void TfrmMain::TakePending() {
  if (FBusy > 0) {
    // Taken once the running start has ended.
    QTimer::singleShot(100, this, [this] { TakePending(); });
    return;
  }
  TBusy busy(FBusy);
  while (!FPending.empty()) {
    const std::vector<std::string> paths = FPending.front();
    FPending.erase(FPending.begin());
    TakeGroups(paths);
  }
}

void TfrmMain::TakeGroups(const std::vector<std::string>& Paths) {
  // Each source type with the paths that hold files of it, in the order
  // given: one plan of each type over every path.
  struct TGroup {
    std::string Type;
    std::vector<std::string> Paths;
    size_t Files = 0;
    std::string Name;  // of the one file, when there is one
  };
  std::vector<TGroup> groups;
  std::vector<bool> taken(Paths.size());
  for (const char* type : kFileTypes) {
    const TConversionMode first = ModeBetween(type, type == std::string("wav") ? "mp3" : "wav");
    const TRunPlan plan = PlanRun(PlanFor(first, Paths, true));
    TGroup group{type, {}, plan.Files.size(), plan.Files.size() == 1 ? FileNamePart(plan.Files[0].Source) : ""};
    for (size_t i = 0; i < Paths.size(); ++i) {
      const std::string folder = Paths[i] + "/";
      std::error_code ec;
      const bool holds = std::filesystem::is_directory(Paths[i], ec)
                             ? std::any_of(plan.Files.begin(), plan.Files.end(),
                                           [&](const TPlannedFile& F) { return F.Source.rfind(folder, 0) == 0; })
                             : OfSourceType(Paths[i], first);
      if (!holds) continue;
      group.Paths.push_back(Paths[i]);
      taken[i] = true;
    }
    if (!group.Paths.empty()) groups.push_back(group);
  }
  QStringList unknown;
  for (size_t i = 0; i < Paths.size(); ++i)
    if (!taken[i]) unknown << DecodePath(Paths[i]);
  if (!unknown.isEmpty())
    ShowMessage(this, QMessageBox::Information,
                "These are not WAV, MP3 or WMA files, or folders holding any:\n\n" + unknown.join("\n"));
  // Groups in the order their first path was given.
  auto firstGiven = [&](const TGroup& G) { return std::find(Paths.begin(), Paths.end(), G.Paths.front()); };
  std::stable_sort(groups.begin(), groups.end(),
                   [&](const TGroup& A, const TGroup& B) { return firstGiven(A) < firstGiven(B); });
  for (const TGroup& g : groups) {
    std::vector<TConversionMode> modes;
    QStringList targets;
    for (const char* target : kFileTypes)
      if (const TConversionMode m = ModeBetween(g.Type, target); m != cmNone) {
        modes.push_back(m);
        targets << QString(target).toUpper();
      }
    const QString text =
        g.Files == 1 ? QString("Convert %1 to:").arg(DecodePath(g.Name))
                     : QString("Convert %1 %2 files to:").arg(g.Files).arg(QString::fromStdString(g.Type).toUpper());
    const int choice = ShowChoice(this, text, targets);
    if (choice == 0 || choice == 1) StartFiles(modes[static_cast<size_t>(choice)], g.Paths, true);
  }
}

TPlanRequest TfrmMain::PlanFor(TConversionMode Mode, const std::vector<std::string>& Paths, bool Dropped) const {
  TPlanRequest request;
  request.Sources = Paths;
  request.Mode = Mode;
  request.Recursive = true;
  request.OtherTypesRefused = Dropped;
  request.FolderNamesKept = Dropped;
  request.SameAsInputFolder = Settings.SameAsInputFolder;
  request.OutputFolder = Settings.OutputFolder;
  return request;
}

void TfrmMain::bSettingsClick() {
  // A hand-over waits for the dialog to close.
  TBusy busy(FBusy);
  TfrmOptions options(this);
  // Confirmed options are kept at once, not only when the window closes.
  if (options.exec() == QDialog::Accepted) SaveOptions();
}

void TfrmMain::bShowFilesClick() {
  const QString folder = DecodePath(Settings.OutputFolder);
  std::error_code ec;
  // The default folder is made when first needed, as a conversion would.
  if (Settings.OutputFolder == DefaultSettings().OutputFolder)
    std::filesystem::create_directories(Settings.OutputFolder, ec);
  if (std::filesystem::is_directory(Settings.OutputFolder, ec))
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  else
    ShowMissingFolder(this, folder);
}

void TfrmMain::bHomepageClick() { QDesktopServices::openUrl(QUrl(kHomePage)); }
void TfrmMain::bDonateClick() { QDesktopServices::openUrl(QUrl(kDonatePage)); }

void TfrmMain::bAboutClick() {
  TfrmAbout about(this);
  about.exec();
}

}  // namespace tonvale::gui
