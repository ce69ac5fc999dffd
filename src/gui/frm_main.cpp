#include "gui/frm_main.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QMenu>
#include <QUrl>
#include <QWindow>
#include <filesystem>

#include "conversion/conversion_modes.h"
#include "conversion/tag_preparation.h"
#include "gui/dialogs.h"
#include "gui/widgets.h"
#include "gui/frm_about.h"
#include "gui/frm_encode_progress.h"
#include "gui/frm_options.h"
#include "gui/frm_tag_editor.h"
#include "gui/links.h"
#include "gui/pictures.h"
#include "gui/skin/skin.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"

namespace tonvale::gui {
namespace {

struct TModeButton {
  const char* Name;
  int Tag;
  const char* Caption;
  const char* Hint;
};
const TModeButton kModeButtons[] = {
    {"bMP3toWMA", 10, "WMA to MP3...", "Convert WMA to MP3"}, {"bWMAtoMP3", 9, "MP3 to WMA...", "Convert MP3 to WMA"},
    {"bWAVtoMP3", 2, "WAV to MP3...", "Convert WAV to MP3"},  {"bMP3toWAV", 7, "MP3 to WAV...", "Convert MP3 to WAV"},
    {"bWAVtoWMA", 4, "WAV to WMA...", "Convert WAV to WMA"},  {"bWMAtoWAV", 8, "WMA to WAV...", "Convert WMA to WAV"}};

// The open-file dialog's filter and title of each mode.
void DialogFor(int Mode, QStringList& Filters, QString& Title) {
  const char* type = "wav";
  switch (Mode) {
    case cmWavToMp3: Title = "Wav to Mp3 Converter"; break;
    case cmWavToWma: Title = "Wav to Wma Converter"; break;
    case cmMp3ToWav: Title = "Mp3 to Wav Converter", type = "mp3"; break;
    case cmWmaToWav: Title = "Wma to Wav Converter", type = "wma"; break;
    case cmMp3ToWma: Title = "Mp3 to Wma Converter", type = "mp3"; break;
    case cmWmaToMp3: Title = "Wma to Mp3 Converter", type = "wma"; break;
    default: Title = "Audio Converter"; break;
  }
  Title += " (One or multiple files)";
  Filters = {QString("Sound file(*.%1)").arg(type), "Any file(*)"};
}

const QColor kOnPicture(235, 245, 250);

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
    b->setText(Glyph);
    b->setAutoRaise(true);
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
  for (const TModeButton& m : kModeButtons) {
    QPushButton* b = FlatButton(m.Name, m.Caption, m.Hint, 28, y, 150);
    b->setProperty("Tag", m.Tag);
    connect(b, &QPushButton::clicked, this, [this, b] { bMP3toWMAClick(b); });
    y += 30;
  }
  Section("Options", 212, 46, 170);
  connect(FlatButton("bSettings", "Settings   ", "Open the options dialog to set", 222, 72, 150), &QPushButton::clicked,
          this, [this] { bSettingsClick(); });
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

  ID3genre = new QComboBox(this);
  ID3genre->setObjectName("ID3genre");
  for (const auto& g : GenreList) ID3genre->addItem(QString::fromStdString(g));
  ID3genre->hide();
  FormCreate();
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
  QPalette p = line->palette();
  p.setColor(QPalette::Window, AccentColor().lighter(150));
  line->setPalette(p);
}

QPushButton* TfrmMain::FlatButton(const QString& Name, const QString& Caption, const QString& Hint, int X, int Y,
                                  int W) {
  auto* b = new QPushButton(Caption, this);
  b->setObjectName(Name);
  b->setFlat(true);
  b->setToolTip(Hint);
  b->setCursor(Qt::PointingHandCursor);
  b->setGeometry(X, Y, W, 26);
  b->setStyleSheet("QPushButton { color: #ebf5fa; text-align: left; padding-left: 8px; border: none; }"
                   "QPushButton:hover { background: rgba(255,255,255,40); border-radius: 4px; }"
                   "QPushButton:pressed { background: rgba(255,255,255,70); }");
  return b;
}

void TfrmMain::FormCreate() {
  LoadSettings();
  ApplyTheme(QString::fromStdString(Settings.Theme));
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    ShowMessage(this, QMessageBox::Critical, QString::fromStdString(e.what()));
  }
  Event->accept();
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
  auto add = [&](const QString& Caption, const QString& Name) {
    QAction* a = themes->addAction(Caption, this, [this, Name] { ChooseTheme(Name); });
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

void TfrmMain::bMP3toWMAClick(QObject* Sender) { StartConversion(Sender->property("Tag").toInt()); }

void TfrmMain::StartConversion(int Mode) {
  if (!CheckOutputFolder()) return;
  QStringList filters;
  QString title;
  DialogFor(Mode, filters, title);
  const QStringList chosen = OpenFiles(this, title, filters);
  if (chosen.isEmpty()) return;
  std::vector<std::string> files;
  for (const QString& f : chosen) files.push_back(f.toStdString());
  try {
    PrepareTagValues(Mode, files);
    if (TagEditorWanted(Mode, files.size())) {
      TfrmTagEditor editor(this);
      if (files.size() > 1) editor.DisableTitle();
      if (editor.exec() != QDialog::Accepted) return;
    }
    TfrmEncodeProgress progress(this, files);
    progress.SetMode(Mode);
    progress.exec();
  } catch (const std::exception& e) {
    // The start ends, but not silently: the user learns why.
    ShowMessage(this, QMessageBox::Critical,
                QString("The conversion could not start: %1").arg(QString::fromStdString(e.what())));
  }
}

void TfrmMain::bSettingsClick() {
  TfrmOptions options(this);
  options.exec();
}

void TfrmMain::bShowFilesClick() {
  const QString folder = QString::fromStdString(Settings.OutputFolder);
  std::error_code ec;
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
