// The windows, offscreen: names, texts and behaviour of the main window, the
// progress window, the options dialog, the tag editor and the About box, the
// single-instance hand-over, conversions started through the window, and a
// picture of every window in every theme.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFontInfo>
#include <QFrame>
#include <QScreen>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QMimeData>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QProcess>
#include <QUrl>
#include <QToolButton>
#include <QtTest>
#include <QElapsedTimer>
#include <filesystem>
#include <map>
#include <csignal>
#include <unistd.h>

#include "conversion/conversion_modes.h"
#include "gui/dialogs.h"
#include "gui/end_report.h"
#include "gui/frm_about.h"
#include "gui/frm_encode_progress.h"
#include "gui/frm_main.h"
#include "gui/frm_options.h"
#include "gui/frm_tag_editor.h"
#include "gui/session_end.h"
#include "gui/single_instance.h"
#include "gui/skin/skin.h"
#include "gui/ui_bridge.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::gui;
namespace fs = std::filesystem;

namespace {

template <typename T>
T* Find(QWidget* Window, const char* Name) {
  T* w = Window->findChild<T*>(Name);
  if (!w) qWarning("no %s", Name);
  return w;
}

std::string Run(const std::string& Command) {
  int status = 0;
  std::string out = test::Shell(Command, &status);
  return status == 0 ? out : "failed: " + Command;
}

void MakeWav(const std::string& Path, double Seconds) {
  Run("ffmpeg -v error -y -f lavfi -i sine=f=440:d=" + std::to_string(Seconds) + " -ac 2 -c:a pcm_s16le " +
      test::Quote(Path));
}

// Answers to the message boxes, recorded.
struct Answers {
  QStringList Texts;
  QList<QMessageBox::Icon> Icons;
  QMessageBox::StandardButton Reply = QMessageBox::Ok;
  QStringList Files;
  Answers() {
    DialogHooks().Message = [this](QMessageBox::Icon Icon, const QString& Text, QMessageBox::StandardButtons) {
      Texts << Text;
      Icons << Icon;
      return Reply;
    };
    DialogHooks().OpenFiles = [this](const QString&, const QStringList&) { return Files; };
    DialogHooks().Folder = [](const QString&, const QString&) { return QString(); };
    DialogHooks().Choice = [this](const QString& Text, const QStringList& Buttons) {
      Texts << Text;
      return static_cast<int>(Buttons.indexOf(Choose));
    };
  }
  QString Choose;  // the button a choice box is answered with
  ~Answers() { DialogHooks() = {}; }
};

// Runs Action on the modal window named Name once it is up.
void WhenModal(const QString& Name, std::function<void(QWidget*)> Action, int Tries = 500) {
  QTimer::singleShot(10, [Name, Action, Tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->objectName() == Name)
      Action(modal);
    else if (Tries > 0)
      WhenModal(Name, Action, Tries - 1);
  });
}

// Drags Paths over Target and drops them, as a file manager does; true when
// the drag was accepted and the drop taken as a copy.
bool DragAndDrop(QWidget* Target, const QList<QUrl>& Urls, Qt::DropActions Actions = Qt::CopyAction | Qt::MoveAction) {
  QMimeData data;
  data.setUrls(Urls);
  const QPointF at = Target->rect().center();
  QDragEnterEvent enter(at.toPoint(), Actions, &data, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QApplication::sendEvent(Target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Actions, &data, Qt::LeftButton, Qt::NoModifier);
  drop.ignore();
  QApplication::sendEvent(Target, &drop);
  return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

QList<QUrl> Urls(const QStringList& Paths) {
  QList<QUrl> urls;
  for (const QString& p : Paths) urls << QUrl::fromLocalFile(p);
  return urls;
}

// Every file under Folder (relative path -> bytes).
std::map<std::string, std::vector<uint8_t>> Contents(const std::string& Folder) {
  std::map<std::string, std::vector<uint8_t>> all;
  for (const auto& e : fs::recursive_directory_iterator(Folder))
    if (e.is_regular_file()) all[fs::relative(e.path(), Folder).string()] = test::ReadBytes(e.path().string());
  return all;
}

// Waits until Done is true and no modal window is left.
bool Settled(const std::function<bool()>& Done) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (Done() && !QApplication::activeModalWidget()) return true;
  }
  return false;
}

// The pixels of A and B that differ plainly (by 60 in red, green and blue).
int Differing(const QImage& A, const QImage& B) {
  int differing = 0;
  for (int i = 0; i < A.width() * A.height(); ++i) {
    const QColor a = A.pixelColor(i % A.width(), i / A.width()), b = B.pixelColor(i % A.width(), i / A.width());
    differing += std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue()) >= 60;
  }
  return differing;
}

// Texts whole: none wider than its control, under the control it names or past the edge.
void TextsFit(QWidget* Window) {
  for (QWidget* w : Window->findChildren<QWidget*>()) {
    if (auto* list = qobject_cast<QListWidget*>(w); list && list->isVisibleTo(Window))
      QVERIFY2(list->sizeHintForColumn(0) <= list->viewport()->width(), qPrintable(list->objectName()));
    auto* label = qobject_cast<QLabel*>(w);
    if (!w->isVisibleTo(Window) || !(label || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) ||
        (label && (label->text().isEmpty() || label->wordWrap())))
      continue;
    const int need = w->sizeHint().width();
    const QString what = Window->objectName() + ": " + w->property("text").toString();
    QVERIFY2(need <= w->width() && w->mapTo(Window, QPoint(need, 0)).x() <= Window->width(), qPrintable(what));
    if (QWidget* buddy = label ? label->buddy() : nullptr; buddy && buddy->parent() == w->parent())
      QVERIFY2(w->x() + need <= buddy->x() || buddy->y() >= w->geometry().bottom(), qPrintable(what));
  }
}

}  // namespace

class GuiTest : public QObject {
  Q_OBJECT
  test::TempDir Home;
  std::unique_ptr<TUiBridge> Bridge;
  QList<QUrl> Opened;  // what QDesktopServices was asked to open

 public slots:
  void opened(const QUrl& Url) { Opened << Url; }

 private slots:
  void initTestCase() {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Home.File("config")));
    Bridge = std::make_unique<TUiBridge>();
  }
  void init() {
    fs::remove_all(Home.File("config"));
    Settings = DefaultSettings();
    Settings.OutputFolder = Home.File("out");
    fs::create_directories(Settings.OutputFolder);
  }

  void mainWindowNamesTextsAndDragArea() {
    TfrmMain main;
    QCOMPARE(main.objectName(), QString("frmMain"));
    QCOMPARE(main.windowTitle(), QString("Tonvale"));
    QCOMPARE(main.size(), QSize(400, 303));
    QVERIFY(main.windowFlags() & Qt::FramelessWindowHint);
    const struct {
      const char* Name;
      int Tag;
      const char* Caption;
      const char* Hint;
    } modes[] = {{"bMP3toWMA", 10, "WMA to MP3...", "Convert WMA to MP3"},
                 {"bWMAtoMP3", 9, "MP3 to WMA...", "Convert MP3 to WMA"},
                 {"bWAVtoMP3", 2, "WAV to MP3...", "Convert WAV to MP3"},
                 {"bMP3toWAV", 7, "MP3 to WAV...", "Convert MP3 to WAV"},
                 {"bWAVtoWMA", 4, "WAV to WMA...", "Convert WAV to WMA"},
                 {"bWMAtoWAV", 8, "WMA to WAV...", "Convert WMA to WAV"}};
    for (const auto& m : modes) {
      auto* b = Find<QPushButton>(&main, m.Name);
      QVERIFY(b);
      QCOMPARE(b->text(), QString(m.Caption));
      QCOMPARE(b->toolTip(), QString(m.Hint));
      QCOMPARE(b->property("Tag").toInt(), m.Tag);
      QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
    }
    QCOMPARE(Find<QPushButton>(&main, "bSettings")->text(), QString("Settings   "));
    QCOMPARE(Find<QPushButton>(&main, "bShowFiles")->toolTip(), QString("Open the output folder"));
    QCOMPARE(Find<QToolButton>(&main, "bMinimize")->toolTip(), QString("Minimize"));
    QCOMPARE(Find<QComboBox>(&main, "ID3genre")->count(), 149);
    QVERIFY(Find<QComboBox>(&main, "ID3genre")->isHidden());

    // A label's right and bottom edges count as on it; one past is background.
    auto* title = Find<QLabel>(&main, "lTitle");
    const QRect r = title->geometry();
    QVERIFY(!main.IsBackgroundPoint(r.x() + r.width(), r.y() + r.height()));
    QVERIFY(!main.IsBackgroundPoint(r.x(), r.y()));
    QVERIFY(main.IsBackgroundPoint(r.x() + r.width() + 1, r.y()));
    const QRect exit = Find<QPushButton>(&main, "bExit")->geometry();
    QVERIFY(!main.IsBackgroundPoint(exit.center().x(), exit.center().y()));
    QVERIFY(main.IsBackgroundPoint(5, 295));
  }

  void showFilesAndClosingSaveTheSettings() {
    Answers answers;
    {
      TfrmMain main;  // loads the settings: none yet
      Settings.OutputFolder = Home.File("missing");
      Settings.SameAsInputFolder = true;  // Show Files still uses OutputFolder
      main.bShowFilesClick();
      QCOMPARE(answers.Texts,
               QStringList({QString::fromStdString(Home.File("missing")) + ",the output folder does not exist."}));
      Settings.BitRate = 96;
      Find<QToolButton>(&main, "bClose")->click();
    }
    QVERIFY(fs::exists(Home.File("config/Quarnel/Tonvale/options.ini")));
    Settings.BitRate = 0;
    LoadSettings();
    QCOMPARE(Settings.BitRate, 96);
  }

  void singleInstanceHandOverAndStaleSocket() {
    QTemporaryDir runtime;  // a socket path must stay short, wherever the checkout lies
    const QString path = runtime.path() + "/instance.sock";
    int restores = 0;
    QByteArray token;
    {
      // A socket file left by a crash does not stop the start.
      QFile stale(path);
      QVERIFY(stale.open(QIODevice::WriteOnly));
      stale.close();
      TSingleInstance first;
      first.Listen(path, [&](const QByteArray& T, const std::vector<std::string>&) {
        ++restores;
        token = T;
      });
      QVERIFY(first.Listening());
      qputenv("XDG_ACTIVATION_TOKEN", "tok123");
      bool handed = false;
      QThread* second = QThread::create([&] {
        TSingleInstance later;
        handed = later.HandOver(path);
      });
      second->start();
      QTRY_VERIFY_WITH_TIMEOUT(second->isFinished(), 5000);
      delete second;
      qunsetenv("XDG_ACTIVATION_TOKEN");
      QVERIFY(handed);
      QTRY_COMPARE(restores, 1);
      QCOMPARE(token, QByteArray("tok123"));
      std::unique_ptr<QThread> plain(QThread::create([&path] { TSingleInstance().HandOver(path); }));
      plain->start();  // a launcher's start: no token, no files
      QTRY_VERIFY(restores == 2 && token.isEmpty() && plain->isFinished());
    }
    TSingleInstance nobody;
    QVERIFY(!nobody.HandOver(path));
  }

  void restoreBringsTheWindowBackFromAnyState() {
    TfrmMain main;
    for (int state = 0; state < 3; ++state) {
      main.show();
      if (state == 1) main.showMinimized();
      if (state == 2) main.hide();
      main.RestoreInstance();
      QVERIFY(main.isVisible());
      QVERIFY(!main.isMinimized());
    }
  }

  // The real program: a second start hands over and ends with 0; after the
  // first one is killed, its socket does not stop a new start.
  void secondStartEndsAndACrashLeavesNoObstacle() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QTemporaryDir runtime;  // a short path, wherever the checkout lies
    const QString run = runtime.path();
    env.insert("XDG_RUNTIME_DIR", run);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const QString socket = run + "/" + TfrmMain::kClassName;
    auto start = [&](QProcess& P) {
      P.setProcessEnvironment(env);
      P.start(TONVALE_GUI_EXE, {});
      QVERIFY(P.waitForStarted());
    };
    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 10000);
    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(10000));
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
    QVERIFY(QFile::exists(socket));  // left behind by the crash
    QProcess third;
    start(third);
    QVERIFY(!third.waitForFinished(1500));  // it runs: a window of its own
    third.kill();
    third.waitForFinished();
  }

  void optionsLoadOrderDefaultsAndStoring() {
    Answers answers;
    Settings.IsSelectVBR = true;
    Settings.BitRate = 32;
    Settings.CodecIndex = 0;
    Settings.VBR = false;
    Settings.FormatIndex = 5;
    Settings.StereoMode = -1;
    const TSettings before = Settings;
    {
      TfrmOptions o(nullptr);
      QCOMPARE(o.size(), QSize(456, 312));
      auto* tabs = Find<QTabWidget>(&o, "PageControl1");
      QCOMPARE(tabs->tabText(0) + tabs->tabText(1) + tabs->tabText(2), QString("OutputLAMEWMA"));
      QVERIFY(Find<QRadioButton>(&o, "rbVBR")->isChecked());
      QVERIFY(Find<QComboBox>(&o, "cbMinBitRate")->isEnabled());
      QCOMPARE(Find<QComboBox>(&o, "cbMinBitRate")->currentText(), QString("32 kbit/s"));
      QCOMPARE(Find<QComboBox>(&o, "cbMinBitRate")->itemText(0), QString(" 32 kbit/s"));
      QCOMPARE(Find<QComboBox>(&o, "cbStereoMode")->currentIndex(), -1);
      QCOMPARE(Find<QListWidget>(&o, "lbFormats")->currentRow(), 5);
      QVERIFY(Find<QListWidget>(&o, "lbFormats")->item(29)->text().endsWith("(default)"));
      // A bad bit-rate text stores nothing at all.
      Find<QComboBox>(&o, "cbMaxBitRate")->setEditText("abc");
      Find<QCheckBox>(&o, "cbSameTag")->setChecked(true);
      Find<QPushButton>(&o, "btOk")->click();
      QCOMPARE(answers.Texts.size(), 1);
      QVERIFY(answers.Texts[0].startsWith("Maximum bitrate: 'abc'"));
      QCOMPARE(Settings.IsSameTag, before.IsSameTag);
      // The LAME and WMA Default buttons.
      Find<QCheckBox>(&o, "cbWMA_VBR")->setChecked(true);
      Find<QPushButton>(&o, "bDefault")->click();
      Find<QPushButton>(&o, "bWMADefault")->click();
      QVERIFY(Find<QRadioButton>(&o, "rbCBR")->isChecked());
      QVERIFY(!Find<QComboBox>(&o, "cbMinBitRate")->isEnabled());
      QCOMPARE(Find<QComboBox>(&o, "cbConstantBitRate")->currentText(), QString("128"));
      QVERIFY(!Find<QCheckBox>(&o, "cbWMA_VBR")->isChecked());
      QCOMPARE(Find<QListWidget>(&o, "lbFormats")->currentRow(), 29);
      QCOMPARE(Find<QSlider>(&o, "tbMP3Cpu")->value(), 3);
      // A missing folder keeps the dialog open; with the same-folder box any text goes.
      Find<QLineEdit>(&o, "editOutputDir")->setText("/no/such/folder");
      Find<QComboBox>(&o, "cbMinBitRate")->setEditText("64");
      Find<QComboBox>(&o, "cbMaxBitRate")->setEditText("320 kbit/s");
      Find<QPushButton>(&o, "btOk")->click();
      QCOMPARE(answers.Texts.last(), QString("/no/such/folder,the output folder does not exist."));
      QCOMPARE(o.result(), 0);
      Find<QCheckBox>(&o, "cbSameAsInputFolder")->setChecked(true);
      QVERIFY(!Find<QLineEdit>(&o, "editOutputDir")->isEnabled());
      Find<QPushButton>(&o, "btOk")->click();
      QCOMPARE(o.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Settings.OutputFolder, std::string("/no/such/folder"));
    QVERIFY(Settings.SameAsInputFolder);
    QCOMPARE(Settings.BitRate, 64);
    QCOMPARE(Settings.MaxBitRate, 320);
    QCOMPARE(Settings.FormatIndex, 29);
    QCOMPARE(Settings.StereoMode, 1);
    // Cancel stores nothing; a channel mode outside the list stores the default.
    Settings.StereoMode = -1;
    const TSettings stored = Settings;
    {
      TfrmOptions o(nullptr);
      Find<QComboBox>(&o, "cbStereoMode")->setCurrentIndex(3);
      QTest::keyClick(&o, Qt::Key_Escape);
    }
    QCOMPARE(Settings.StereoMode, stored.StereoMode);
    // Regression: VBR (no codec here has VBR formats) stored format -1; -1 loads as 29.
    Settings.VBR = true;
    Settings.FormatIndex = -1;
    {
      TfrmOptions o(nullptr);
      auto* vbr = Find<QCheckBox>(&o, "cbWMA_VBR");
      QVERIFY(!vbr->isChecked() && !vbr->isEnabled());
      QCOMPARE(vbr->toolTip(), QString("This codec offers no VBR formats."));
      QCOMPARE(Find<QListWidget>(&o, "lbFormats")->currentRow(), 29);
      o.show();  // Enter presses OK
      auto* folder = Find<QLineEdit>(&o, "editOutputDir");
      folder->setFocus();
      QTest::keyClick(folder, Qt::Key_Return);
      QCOMPARE(o.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Settings.FormatIndex, 29);
    QVERIFY(!Settings.VBR);
    QCOMPARE(Settings.StereoMode, 1);
  }

  void tagEditorValuesLimitsAndTheShowBox() {
    ResetTagValues();
    TagValues.TagTitle = std::string(40, 'T');
    TagValues.TagGenreIndex = -1;
    Settings.IsShowTagEditor = false;
    {
      TfrmTagEditor e(nullptr);
      QCOMPARE(e.size(), QSize(433, 240));
      auto* title = Find<QLineEdit>(&e, "ID3title");
      QCOMPARE(title->text(), QString(30, 'T'));  // only an ID3v1 tag keeps it: cut where it shows
      QCOMPARE(Find<QComboBox>(&e, "ID3genre")->currentIndex(), -1);
      auto* year = Find<QLineEdit>(&e, "ID3year");
      year->setFocus();
      QTest::keyClicks(year, "199999");
      QCOMPARE(year->text(), QString("1999"));
      e.show();
      QTest::keyClick(year, Qt::Key_Return);  // presses Start, the default button
      QCOMPARE(e.result(), int(QDialog::Accepted));
    }
    QCOMPARE(TagValues.TagTitle.size(), size_t(30));
    QCOMPARE(TagValues.TagGenreIndex, -1);
    QCOMPARE(TagValues.TagYear, std::string("1999"));
    QVERIFY(Settings.IsShowTagEditor);  // the box was left unticked
    {
      TfrmTagEditor e(nullptr);
      e.DisableTitle();
      Find<QLineEdit>(&e, "ID3title")->setText("ignored");
      Find<QComboBox>(&e, "ID3genre")->setCurrentIndex(0);
      Find<QCheckBox>(&e, "cbShowTagEditor")->setChecked(true);
      Find<QPushButton>(&e, "btOk")->click();
    }
    QCOMPARE(TagValues.TagTitle.size(), size_t(30));
    QCOMPARE(TagValues.TagGenreIndex, 0);
    QVERIFY(!Settings.IsShowTagEditor);
    {
      TfrmTagEditor e(nullptr);
      Find<QLineEdit>(&e, "ID3artist")->setText("Nobody");
      Find<QCheckBox>(&e, "cbShowTagEditor")->setChecked(false);
      Find<QPushButton>(&e, "btCancel")->click();
    }
    QVERIFY(TagValues.TagArtist.empty());
    QVERIFY(!Settings.IsShowTagEditor);
  }

  // Regression: a replaced selection, pastes and whole values lost what was typed.
  void tagEditorTakesWhatIsTyped() {
    ResetTagValues();
    const QString artist = QString::fromUtf8("Þórunn Ólafsdóttir & the Reykjavík Chamber Orchestra Players");
    TagValues.TagArtist = artist.toStdString();
    TagValues.TagTitle = std::string(40, 'T');
    const QString forty = QString("0123456789").repeated(4);
    for (TTagKeeping keeping : {TTagKeeping::Id3v1AndWhole, TTagKeeping::Whole, TTagKeeping::Id3v1}) {
      const bool whole = keeping != TTagKeeping::Id3v1;
      TfrmTagEditor e(nullptr, keeping);
      e.show();
      auto* a = Find<QLineEdit>(&e, "ID3artist");
      auto* note = e.findChild<QLabel*>("lNote");
      QVERIFY(note->wordWrap() && note->height() >= 2 * note->fontMetrics().lineSpacing());
      // Only an ID3v1 tag keeps it: cut to what the tag holds where it shows, and told.
      QCOMPARE(a->text(), whole ? artist : artist.left(30));
      if (!whole) QCOMPARE(note->text(), "The title and artist were cut to the 30 characters an ID3v1 tag holds.");
      QCOMPARE(a->cursorPosition(), 0);  // the start of a long value shows
      a->setFocus();
      a->setSelection(0, 7);
      QTest::keyClicks(a, "Thorunn ");
      QCOMPARE(a->text(), whole ? "Thorunn " + artist.mid(7) : "Thorunn" + artist.mid(7, 23));
      QTest::keyClick(a, Qt::Key_Backspace);
      QTest::keyClicks(a, "xy");
      QCOMPARE(a->text().size(), whole ? artist.size() + 2 : 30);
      if (!whole)  // every refused key named
        QCOMPARE(note->text(), "Artist holds at most 30 characters in an ID3v1 tag: \" \", \"y\" were not taken.");
      auto* album = Find<QLineEdit>(&e, "ID3album");
      QApplication::clipboard()->setText(forty);
      album->setFocus();
      album->paste();
      QCOMPARE(album->text(), whole ? forty : forty.left(30));
      QVERIFY(e.findChild<QLabel*>("lNote")->toolTip().prepend('>').startsWith(  // no note: ">"
          whole ? keeping == TTagKeeping::Whole ? ">" : ">ID3v1 keeps 30 characters of the title, artist and album;"
                : ">Album holds at most 30 characters in an ID3v1 tag: \"0123456789\" was not taken."));
      auto* year = Find<QLineEdit>(&e, "ID3year");
      year->setFocus();
      QTest::keyClicks(year, "a19b995x");
      QCOMPARE(year->text(), QString("1999"));
      auto* track = Find<QLineEdit>(&e, "ID3track");
      track->setFocus();
      QTest::keyClicks(track, "/3-//12");
      QCOMPARE(track->text(), QString(whole ? "3/12" : "3/"));
      QTest::keyClicks(track, "/9");  // "3/12/9" is no track; "3/1299" fits the field
      QCOMPARE(track->text(), QString(whole ? "3/129" : "3/"));
      QVERIFY(!whole || track->fontMetrics().horizontalAdvance("3/1299") + 8 <= track->width());
      if (!whole)  // every refused key named, with every reason
        QCOMPARE(note->text(),
                 "Track # takes a number or two as in 3/12 and holds at most 2 characters: \"/\", "
                 "\"-\", \"/\", \"1\", \"2\", \"/\", \"9\" were not taken.");
      Find<QPushButton>(&e, "btOk")->click();
      QCOMPARE(TagValues.TagTrack, whole ? "3/129" : "3");  // "3/" is track 3
      TagValues.TagArtist = artist.toStdString();
      TagValues.TagAlbum = TagValues.TagYear = TagValues.TagTrack = "";
    }
  }

  // Regression: a codec chosen with the keyboard kept the old codec's
  // formats, and OK stored a format of the wrong list.
  void codecChosenWithTheKeyboardRefillsTheFormats() {
    Settings.CodecIndex = 0;
    Settings.VBR = false;
    Settings.FormatIndex = 29;
    {
      TfrmOptions o(nullptr);
      o.show();
      Find<QTabWidget>(&o, "PageControl1")->setCurrentIndex(2);
      auto* codecs = Find<QListWidget>(&o, "lbCodecs");
      auto* formats = Find<QListWidget>(&o, "lbFormats");
      QCOMPARE(formats->currentRow(), 29);
      codecs->setFocus();
      QTest::keyClick(codecs, Qt::Key_Down);
      QCOMPARE(codecs->currentRow(), 1);
      QCOMPARE(formats->currentRow(), 0);
      formats->setCurrentRow(5);
      QTest::keyClick(codecs, Qt::Key_Home);
      QCOMPARE(codecs->currentRow(), 0);
      QCOMPARE(formats->currentRow(), 0);
      QTest::keyClick(codecs, Qt::Key_End);
      Find<QPushButton>(&o, "btOk")->click();
    }
    QCOMPARE(Settings.CodecIndex, 1);
    QCOMPARE(Settings.FormatIndex, 0);
  }

  // Through the main window: the open-file dialog's answer, the tag editor's
  // Start, the progress window, the outputs on disk.
  void conversionsThroughTheWindow() {
    Answers answers;
    const std::string wav = Home.File("song.wav");
    MakeWav(wav, 1.0);
    TfrmMain main;
    Settings.OutputFolder = Home.File("out");
    Settings.IsShowTagEditor = true;
    answers.Files = {QString::fromStdString(wav)};
    // The tag editor appears for one file: give it an artist and Start.
    WhenModal("frmTagEditor", [](QWidget* Editor) {
      Editor->findChild<QLineEdit*>("ID3artist")->setText("Band");
      Editor->findChild<QPushButton*>("btOk")->click();
    });
    main.StartConversion(cmWavToMp3);
    const std::string mp3 = Home.File("out/song.mp3");
    QCOMPARE(Run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + test::Quote(mp3)),
             std::string("mp3\n"));
    QCOMPARE(
        Run("/usr/bin/python3 -c \"from mutagen.id3 import ID3; t = ID3('" + mp3 + "'); print(t['TIT2'], t['TPE1'])\""),
        std::string("song Band\n"));
    QVERIFY(answers.Texts.isEmpty());

    // A WMA target takes the editor's values as attributes.
    WhenModal("frmTagEditor", [](QWidget* Editor) {
      Editor->findChild<QLineEdit*>("ID3album")->setText("Live");
      Editor->findChild<QPushButton*>("btOk")->click();
    });
    answers.Files = {QString::fromStdString(wav)};
    main.StartConversion(cmWavToWma);
    const QString wma =
        QString::fromStdString(Run("ffprobe -v error -show_entries stream=codec_name:format_tags -of "
                                   "default=nw=1 " +
                                   test::Quote(Home.File("out/song.wma"))));
    for (const char* line : {"codec_name=wmav2", "TAG:title=song", "TAG:album=Live"})
      QVERIFY2(wma.contains(line), qPrintable(wma));
    // No editor for a WAV target, whatever the settings.
    answers.Files = {QString::fromStdString(mp3)};
    main.StartConversion(cmMp3ToWav);
    QCOMPARE(
        Run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + test::Quote(Home.File("out/song.wav"))),
        std::string("pcm_s16le\n"));

    // No at the overwrite question keeps the file; a failed file is told of.
    const auto old = test::ReadBytes(Home.File("out/song.wav"));
    answers.Reply = QMessageBox::No;
    main.StartConversion(cmMp3ToWav);
    QCOMPARE(answers.Texts.size(), 1);
    QCOMPARE(answers.Texts[0], QString::fromStdString(Home.File("out/song.wav")) + " has existed, overwrite it?");
    QCOMPARE(test::ReadBytes(Home.File("out/song.wav")), old);
    test::WriteText(Home.File("junk.wav"), std::string(3000, 'x'));
    answers.Files = {QString::fromStdString(Home.File("junk.wav"))};
    answers.Texts.clear();
    Settings.IsShowTagEditor = false;
    main.StartConversion(cmWavToMp3);
    QCOMPARE(answers.Texts.size(), 1);
    QVERIFY(answers.Texts[0].startsWith("0 converted, 1 failed\n\nCould not be converted (1):\n"));
    QVERIFY(answers.Texts[0].contains("not an audio file of a kind that can be decoded"));

    // A missing output folder stops the start with the message.
    Settings.OutputFolder = Home.File("gone");
    answers.Texts.clear();
    main.StartConversion(cmWavToMp3);
    QCOMPARE(answers.Texts,
             QStringList({"the output folder does not exist.Please check the output directory setting."}));
  }

  void stopLeavesThePartialFileAndCloses() {
    Answers answers;
    const std::string wav = Home.File("long.wav");
    MakeWav(wav, 60);
    TfrmEncodeProgress p(nullptr, {wav}, cmWavToMp3);
    QCOMPARE(p.size(), QSize(366, 243));
    QCOMPARE(Find<QProgressBar>(&p, "ProgressBar1")->text(), QString("0%"));
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(p.findChild<QLabel*>("lOutputFileName")->text() == "long.mp3");
      QTRY_VERIFY_WITH_TIMEOUT(Find<QProgressBar>(&p, "ProgressBar1")->value() > 0, 30000);  // some written
      QTest::keyClick(&p, Qt::Key_Escape);                                                   // as Stop
    });
    p.exec();
    QVERIFY(fs::exists(Home.File("out/long.mp3")));
    QCOMPARE(answers.Texts.size(), 1);
    QVERIFY(answers.Texts[0].contains("Stopped before the end: the output is incomplete."));
  }

  // The Jobs spin box (0 shown as "Automatic") and the ID3v2 box load,
  // store, default and cancel like the other controls.
  void newSettingsLoadStoreDefaultAndCancel() {
    Answers answers;
    Settings.Jobs = 3;
    {
      TfrmOptions o(nullptr);
      auto* jobs = Find<QSpinBox>(&o, "seJobs");
      QVERIFY(jobs);
      QCOMPARE(jobs->value(), 3);
      QCOMPARE(jobs->minimum(), 0);
      QCOMPARE(jobs->maximum(), 64);
      jobs->setValue(0);
      QCOMPARE(jobs->text(), QString("Automatic"));
      bool labelled = false;
      for (QLabel* l : o.findChildren<QLabel*>())
        labelled |= l->text() == "Files converted at the same time:" && l->buddy() == jobs;
      QVERIFY(labelled);
      QTest::keyClick(&o, Qt::Key_Escape);
    }
    QCOMPARE(Settings.Jobs, 3);
    {
      TfrmOptions o(nullptr);
      Find<QSpinBox>(&o, "seJobs")->setValue(2);
      Find<QPushButton>(&o, "btOk")->click();
    }
    QCOMPARE(Settings.Jobs, 2);

    // The ID3v2 box of the LAME page, likewise, and its page's Default.
    Settings.WriteID3v2 = false;
    {
      TfrmOptions o(nullptr);
      auto* box = Find<QCheckBox>(&o, "cbWriteID3v2");
      QCOMPARE(box->text(), QString("Also write an ID3v2 tag (full-length titles)"));
      QVERIFY(!box->isChecked());
      Find<QPushButton>(&o, "bDefault")->click();
      QVERIFY(box->isChecked());
      QTest::keyClick(&o, Qt::Key_Escape);
    }
    QVERIFY(!Settings.WriteID3v2);
    {
      TfrmOptions o(nullptr);
      Find<QCheckBox>(&o, "cbWriteID3v2")->setChecked(true);
      Find<QPushButton>(&o, "btOk")->click();
    }
    QVERIFY(Settings.WriteID3v2);
  }

  // Two lanes write the same bytes as one, for every kind of target, with a
  // failing file among them and told of at the end; the bar only goes up.
  void twoLanesWriteWhatOneWrites() {
    Answers answers;
    Settings.IsShowTagEditor = false;
    QStringList wavs, mp3s;
    for (int i = 0; i < 3; ++i) {
      const std::string wav = Home.File("src/t" + std::to_string(i) + ".wav");
      fs::create_directories(Home.File("src"));
      MakeWav(wav, 0.6 + 0.2 * i);
      wavs << QString::fromStdString(wav);
    }
    test::WriteText(Home.File("src/junk.wav"), std::string(3000, 'x'));
    wavs << QString::fromStdString(Home.File("src/junk.wav"));
    std::map<std::string, std::vector<uint8_t>> outputs[2];
    for (int jobs : {1, 2}) {
      Settings.Jobs = jobs;
      Settings.OutputFolder = Home.File("lanes" + std::to_string(jobs));
      fs::create_directories(Settings.OutputFolder);
      TfrmMain main;
      Settings.OutputFolder = Home.File("lanes" + std::to_string(jobs));
      Settings.Jobs = jobs;
      Settings.IsShowTagEditor = false;
      answers.Texts.clear();
      main.StartFiles(cmWavToMp3, wavs, false);
      QCOMPARE(answers.Texts.size(), 1);
      QVERIFY(answers.Texts[0].startsWith(QString("%1 converted, 1 failed").arg(wavs.size() - 1)));
      QVERIFY(answers.Texts[0].contains("junk.wav"));
      main.StartFiles(cmWavToWma, wavs.mid(0, 3), false);
      mp3s.clear();
      for (int i = 0; i < 3; ++i)
        mp3s << QString::fromStdString(Settings.OutputFolder + "/t" + std::to_string(i) + ".mp3");
      fs::create_directories(Settings.OutputFolder + "/wav");
      Settings.OutputFolder += "/wav";
      main.StartFiles(cmMp3ToWav, mp3s, false);
      outputs[jobs - 1] = Contents(Home.File("lanes" + std::to_string(jobs)));
    }
    QCOMPARE(outputs[0].size(), size_t(9));
    QVERIFY(outputs[0] == outputs[1]);

    // The bar of a two-lane batch never goes back.
    Settings.Jobs = 2;
    QVector<int> values;
    TfrmEncodeProgress progress(
        nullptr, std::vector<std::string>{wavs[0].toStdString(), wavs[1].toStdString(), wavs[2].toStdString()},
        cmWavToWma);
    answers.Reply = QMessageBox::Yes;
    connect(Find<QProgressBar>(&progress, "ProgressBar1"), &QProgressBar::valueChanged, [&](int V) { values << V; });
    progress.exec();
    QVERIFY(values.size() > 2);
    QVERIFY(std::is_sorted(values.begin(), values.end()));
    QCOMPARE(Find<QLabel>(&progress, "lCompleted")->text(), QString("3"));
  }

  // Stop with two files running: no temporary file stays, and the outputs
  // that existed keep their bytes.
  void stopWithTwoLanesKeepsWhatExisted() {
    Answers answers;
    answers.Reply = QMessageBox::Yes;
    Settings.Jobs = 2;
    std::vector<std::string> files;
    for (const char* name : {"l1", "l2", "l3"}) {
      files.push_back(Home.File(std::string(name) + ".wav"));
      MakeWav(files.back(), 40);
      test::WriteText(Home.File("out/" + std::string(name) + ".mp3"), "old");
    }
    auto temporaries = [&] {
      int n = 0;
      for (const auto& e : fs::directory_iterator(Home.File("out")))
        n += e.path().filename().string().find(".tonvale-") != std::string::npos;
      return n;
    };
    TfrmEncodeProgress p(nullptr, files, cmWavToMp3);
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY_WITH_TIMEOUT(temporaries() == 2, 30000);
      QTest::keyClick(&p, Qt::Key_Escape);
    });
    p.exec();
    QCOMPARE(temporaries(), 0);
    for (const char* name : {"l1", "l2", "l3"})
      QCOMPARE(test::ReadBytes(Home.File("out/" + std::string(name) + ".mp3")).size(), size_t(3));
    QVERIFY(answers.Texts.last().contains("Could not be converted (2):\n"));
    QVERIFY(answers.Texts.last().contains("the earlier file was kept"));
  }

  // Logout's SIGTERM during a two-lane run left hidden files and lost options.
  void sigtermLeftHiddenFilesAndLostTheOptions() {
    Answers answers;
    Settings.Jobs = 2;
    Settings.IsShowTagEditor = false;
    const QStringList files = {QString::fromStdString(Home.File("k1.wav")),
                               QString::fromStdString(Home.File("k2.wav"))};
    for (const QString& f : files) MakeWav(f.toStdString(), 40);
    auto temporaries = [&] {
      return std::count_if(fs::directory_iterator(Home.File("out")), {}, [](const fs::directory_entry& E) {
        return E.path().filename().string().find(".tonvale-") != std::string::npos;
      });
    };
    TfrmMain main;
    main.show();
    TSessionEnd end(&main);
    QVERIFY(end.Install());
    Settings.BitRate = 112;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY_WITH_TIMEOUT(temporaries() == 2, 30000);
      ::kill(::getpid(), SIGTERM);
    });
    main.StartFiles(cmWavToMp3, files, false);
    QVERIFY(Settled([&] { return !main.isVisible(); }));
    QCOMPARE(temporaries(), 0);
    Settings.BitRate = 0;
    LoadSettings();
    QCOMPARE(Settings.BitRate, 112);
  }

  // Two chosen sources with one output: the later fails naming the earlier,
  // without a question; a source that would be its own output is skipped
  // with its reason; a file the user keeps is not listed.
  void theWindowRefusesWhatTheCommandLineRefuses() {
    Answers answers;
    Settings.IsShowTagEditor = false;
    Settings.Jobs = 2;
    fs::create_directories(Home.File("two"));
    MakeWav(Home.File("two/song.wav"), 0.4);
    fs::copy_file(Home.File("two/song.wav"), Home.File("two/song.WAV"));
    fs::create_directories(Home.File("refused"));
    TfrmMain main;
    Settings.IsShowTagEditor = false;
    Settings.OutputFolder = Home.File("refused");
    main.StartFiles(
        cmWavToMp3,
        {QString::fromStdString(Home.File("two/song.wav")), QString::fromStdString(Home.File("two/song.WAV"))}, false);
    QCOMPARE(answers.Texts.size(), 1);
    QVERIFY2(answers.Texts[0].startsWith("1 converted, 1 failed\n"), qPrintable(answers.Texts[0]));
    QVERIFY(answers.Texts[0].contains("song.WAV: its output"));
    QVERIFY(answers.Texts[0].contains("is already written in this run, from"));
    QVERIFY(fs::exists(Home.File("refused/song.mp3")));
    // Regression: a valid MP3 chosen with "Any file" failed as undecodable;
    // the command line skips it as already MP3, and a WMA is not a WAV file.
    answers.Texts.clear();
    answers.Reply = QMessageBox::No;
    test::WriteText(Home.File("two/other.wma"), "x");
    main.StartFiles(
        cmWavToMp3,
        {QString::fromStdString(Home.File("refused/song.mp3")), QString::fromStdString(Home.File("two/other.wma"))},
        false);
    QVERIFY2(answers.Texts.size() == 1, qPrintable(answers.Texts.join("|")));
    QVERIFY(answers.Texts[0].contains("song.mp3: it is already a .mp3 file") &&
            answers.Texts[0].contains("other.wma: not a WAV file"));
    // No to the question: nothing to tell.
    answers.Texts.clear();
    main.StartFiles(cmWavToMp3, {QString::fromStdString(Home.File("two/song.wav"))}, false);
    QCOMPARE(answers.Texts.size(), 1);
    QVERIFY(answers.Texts[0].endsWith("has existed, overwrite it?"));
  }

  // Files and folders dropped on each mode button start that mode; other
  // types are left out and told of; a drop with none of the type says so;
  // drops elsewhere, of other than local files, or as a move only are refused.
  void dropsOnTheModeButtons() {
    Answers answers;
    Settings.IsShowTagEditor = false;
    Settings.Jobs = 0;
    const std::string in = Home.File("drop");
    fs::create_directories(in + "/tree/Disc 2");
    fs::create_directories(in + "/tree/.hidden");
    MakeWav(in + "/a.wav", 0.3);
    Run("ffmpeg -v error -y -i " + test::Quote(in + "/a.wav") + " " + test::Quote(in + "/b.mp3"));
    Run("ffmpeg -v error -y -i " + test::Quote(in + "/a.wav") + " -c:a wmav2 " + test::Quote(in + "/c.wma"));
    MakeWav(in + "/tree/top.WAV", 0.3);
    MakeWav(in + "/tree/Disc 2/deep.wav", 0.3);
    MakeWav(in + "/tree/.hidden/secret.wav", 0.3);
    fs::create_directory_symlink(in, in + "/tree/link");
    TfrmMain main;
    Settings.IsShowTagEditor = false;
    const struct {
      const char* Button;
      const char* Source;
      const char* Output;
    } modes[] = {{"bMP3toWMA", "c.wma", "c.mp3"}, {"bWMAtoMP3", "b.mp3", "b.wma"}, {"bWAVtoMP3", "a.wav", "a.mp3"},
                 {"bMP3toWAV", "b.mp3", "b.wav"}, {"bWAVtoWMA", "a.wav", "a.wma"}, {"bWMAtoWAV", "c.wma", "c.wav"}};
    for (const auto& m : modes) {
      Settings.OutputFolder = Home.File(std::string("dropped/") + m.Button);
      fs::create_directories(Settings.OutputFolder);
      const std::string output = Settings.OutputFolder + "/" + m.Output;
      QVERIFY(DragAndDrop(Find<QPushButton>(&main, m.Button), Urls({QString::fromStdString(in + "/" + m.Source)})));
      QVERIFY2(Settled([&] { return fs::exists(output); }), m.Button);
    }
    QVERIFY(answers.Texts.isEmpty());

    // A folder tree with a file of another type: the tree kept under the
    // folder's own name, hidden entries and links to folders left; the file
    // of another type is offered its own conversion afterwards.
    Settings.OutputFolder = Home.File("dropped/tree");
    fs::create_directories(Settings.OutputFolder);
    QVERIFY(DragAndDrop(Find<QPushButton>(&main, "bWAVtoMP3"),
                        Urls({QString::fromStdString(in + "/tree/"), QString::fromStdString(in + "/b.mp3")})));
    QVERIFY(Settled([&] { return !answers.Texts.isEmpty(); }));
    QCOMPARE(answers.Texts, QStringList({"Convert b.mp3 to:"}));  // answered Cancel
    QVERIFY(fs::exists(Settings.OutputFolder + "/tree/top.mp3"));
    QVERIFY(fs::exists(Settings.OutputFolder + "/tree/Disc 2/deep.mp3"));
    QVERIFY(!fs::exists(Settings.OutputFolder + "/tree/.hidden"));
    QVERIFY(!fs::exists(Settings.OutputFolder + "/tree/link"));
    // Regression: two dropped folders with a file of one name collided.
    answers.Texts.clear();
    for (const char* artist : {"Artist A", "Artist B"}) {
      fs::create_directories(in + "/" + artist);
      MakeWav(in + "/" + artist + "/01.wav", 0.2);
    }
    QVERIFY(DragAndDrop(Find<QPushButton>(&main, "bWAVtoMP3"),
                        Urls({QString::fromStdString(in + "/Artist A"), QString::fromStdString(in + "/Artist B")})));
    QVERIFY(Settled([&] { return fs::exists(Settings.OutputFolder + "/Artist B/01.mp3"); }));
    QVERIFY(fs::exists(Settings.OutputFolder + "/Artist A/01.mp3") && answers.Texts.isEmpty());

    // None of the type: nothing starts, a box says why.
    answers.Texts.clear();
    QVERIFY(DragAndDrop(Find<QPushButton>(&main, "bWMAtoWAV"), Urls({QString::fromStdString(in + "/a.wav")})));
    QVERIFY(Settled([&] { return !answers.Texts.isEmpty(); }));
    QCOMPARE(answers.Texts, QStringList({"Nothing to convert: none of the dropped files is a WMA file."}));

    // Refused: a move only, addresses that are not local files, the window itself.
    auto* button = Find<QPushButton>(&main, "bWAVtoMP3");
    QVERIFY(!DragAndDrop(button, Urls({QString::fromStdString(in + "/a.wav")}), Qt::MoveAction));
    QVERIFY(!DragAndDrop(button, {QUrl("https://example.org/a.wav")}));
    QVERIFY(!DragAndDrop(&main, Urls({QString::fromStdString(in + "/a.wav")})));
    QVERIFY(!DragAndDrop(Find<QPushButton>(&main, "bSettings"), Urls({QString::fromStdString(in + "/a.wav")})));
  }

  // Files handed over by the desktop: the real program's second start passes
  // them to the running instance, which asks per type which conversion.
  void desktopFilesThroughASecondStart() {
    Answers answers;
    Settings.IsShowTagEditor = false;
    fs::create_directories(Home.File("given"));
    MakeWav(Home.File("given/a.wav"), 0.3);
    // A name that is not UTF-8 keeps its bytes on the way.
    Run("ffmpeg -v error -y -i " + test::Quote(Home.File("given/a.wav")) + " " +
        test::Quote(Home.File("given/b\xe9.mp3")));
    QTemporaryDir runtime;
    TSingleInstance first;
    std::vector<std::string> received;
    QVERIFY(first.Listen(runtime.path() + "/" + TfrmMain::kClassName,
                         [&](const QByteArray&, const std::vector<std::string>& Files) { received = Files; }));
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(QString::fromStdString(Home.File("given")));
    second.start("/bin/sh", {"-c", "exec \"$0\" a.wav \"$(printf 'b\\351.mp3')\"", TONVALE_GUI_EXE});
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning && !received.empty(), 20000);
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    QCOMPARE(received, std::vector<std::string>({Home.File("given/a.wav"), Home.File("given/b\xe9.mp3")}));

    TfrmMain main;
    Settings.IsShowTagEditor = false;
    Settings.OutputFolder = Home.File("out");
    answers.Choose = "WMA";  // WAV to WMA, then MP3 to WMA
    main.TakeFiles(received);
    QVERIFY(Settled([&] { return fs::exists(Home.File("out/a.wma")) && fs::exists(Home.File("out/b\xe9.wma")); }));
    QCOMPARE(answers.Texts, QStringList({"Convert a.wav to:", "Convert " + DecodePath("b\xe9.mp3") + " to:"}));

    // Handed over during a batch: its window tells of it; taken after it.
    MakeWav(Home.File("given/running.wav"), 60);
    QString waiting;
    WhenModal("frmEncodeProgress", [&](QWidget* Progress) {
      main.TakeFiles({Home.File("given/a.wav")});
      if (auto* line = Progress->findChild<QLabel*>("lWaiting"); line->isVisibleTo(Progress)) waiting = line->text();
      static_cast<TfrmEncodeProgress*>(Progress)->bStopClick();
    });
    answers.Choose = "MP3";
    main.StartFiles(cmWavToMp3, {QString::fromStdString(Home.File("given/running.wav"))}, false);
    QCOMPARE(waiting, QString("Waiting for this batch to end: a.wav"));
    QVERIFY(Settled([&] { return fs::exists(Home.File("out/a.mp3")); }));
  }

  // The socket always fits a Unix socket path, and the fallback folder is
  // used only as this user's own.
  void socketPathFitsAndTheFallbackIsOurOwn() {
    QTemporaryDir tmp;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmpdir = qgetenv("TMPDIR");
    const QString deep = tmp.path() + "/" + QString(120, 'r');
    QVERIFY(QDir().mkpath(deep));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(deep));
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString fallback = tmp.path() + QString("/tonvale-%1").arg(::getuid());
    QVERIFY(QDir().mkpath(fallback));
    QVERIFY(QFile::setPermissions(
        fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    QString why;
    QVERIFY(TSingleInstance::SocketPath(&why).isEmpty());
    QVERIFY2(why.contains("mode 0700"), qPrintable(why));
    QVERIFY(QFile::setPermissions(fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString path = TSingleInstance::SocketPath();
    QCOMPARE(path, fallback + "/" + TfrmMain::kClassName);
    QVERIFY(QFile::encodeName(path).size() <= 107);
    TSingleInstance listening;
    QVERIFY(listening.Listen(path, [](const QByteArray&, const std::vector<std::string>&) {}));

    // Without a usable socket the real program says why and still runs.
    QVERIFY(QFile::setPermissions(
        fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    QProcess alone;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", deep);
    env.insert("TMPDIR", tmp.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    alone.setProcessEnvironment(env);
    alone.start(TONVALE_GUI_EXE, {});
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += alone.readAllStandardError()).contains("running without single instance"), 20000);
    QCOMPARE(alone.state(), QProcess::Running);
    alone.kill();
    alone.waitForFinished();
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", tmpdir);
  }

  // Regression: Stop while a finished file waited for its completion report
  // called it stopped, and its MP3 took its name without the ID3v1 tag.
  void stopAfterTheFileFinishedKeepsItConverted() {
    Answers answers;
    const std::string wav = Home.File("brief.wav");
    MakeWav(wav, 0.5);
    fs::remove(Home.File("out/brief.mp3"));
    TfrmEncodeProgress p(nullptr, {wav}, cmWavToMp3);
    p.Batch().SetDoneDelay(60000);  // widens the moment between the end and its report
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY_WITH_TIMEOUT(p.Batch().AwaitingReport() == 1, 30000);
      QTest::keyClick(&p, Qt::Key_Escape);
    });
    p.exec();
    QVERIFY2(answers.Texts.isEmpty(), qPrintable(answers.Texts.join("|")));
    const auto bytes = test::ReadBytes(Home.File("out/brief.mp3"));
    QVERIFY(bytes.size() > 128);
    QCOMPARE(std::string(bytes.end() - 128, bytes.end() - 125), std::string("TAG"));
  }

  // Regressions: Browse opened the program's folder; Show Files refused the
  // default folder before the first conversion made it.
  void browseAndShowFilesStartWhereTheUserIs() {
    Answers answers;
    QString started;
    DialogHooks().Folder = [&](const QString&, const QString& Start) {
      started = Start;
      return QString();
    };
    {
      TfrmOptions o(nullptr);
      auto* edit = Find<QLineEdit>(&o, "editOutputDir");
      edit->setText(QString::fromStdString(Home.File("out")));
      Find<QPushButton>(&o, "btBrowser")->click();
      QCOMPARE(started, QString::fromStdString(Home.File("out")));
      edit->setText(QString::fromStdString(Home.File("no/such")));
      Find<QPushButton>(&o, "btBrowser")->click();
      QCOMPARE(started, QDir::homePath());
    }
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(Home.File("home")));
    fs::create_directories(Home.File("home"));
    Settings.OutputFolder = DefaultSettings().OutputFolder;
    QCOMPARE(Settings.OutputFolder, Home.File("home/Music/Tonvale"));
    QDesktopServices::setUrlHandler("file", this, "opened");
    Opened.clear();
    {
      TfrmMain main;
      Settings.OutputFolder = DefaultSettings().OutputFolder;
      main.bShowFilesClick();
    }
    QDesktopServices::unsetUrlHandler("file");
    qputenv("HOME", home);
    QVERIFY(answers.Texts.isEmpty());
    QVERIFY(fs::is_directory(Home.File("home/Music/Tonvale")));
    QCOMPARE(Opened, QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(Home.File("home/Music/Tonvale")))}));
  }

  // Regressions: the main window sat in the screen's corner; long names were
  // cut at the label's edge; the picture buttons, the donate picture and
  // the labels said nothing to a screen reader, and the picture was out of
  // the keyboard's reach.
  void placedNamedAndReachable() {
    TfrmMain main;
    const QRect screen = main.screen()->availableGeometry();
    QVERIFY((main.geometry().center() - screen.center()).manhattanLength() <= 2);
    QCOMPARE(Find<QToolButton>(&main, "bMinimize")->accessibleName(), QString("Minimize"));
    QCOMPARE(Find<QToolButton>(&main, "bClose")->accessibleName(), QString("Close"));

    TfrmEncodeProgress p(nullptr, std::vector<std::string>{}, cmWavToMp3);
    const std::string name = "A very long name of a recording, from a concert given somewhere.wav";
    p.ShowInputFileName(name);
    p.ShowPaths("/music/live/" + name, "/out/x.mp3");
    auto* input = Find<QLabel>(&p, "lInputFileName");
    QVERIFY(input->text().startsWith("A very"));
    QVERIFY(input->text().endsWith(".wav"));
    QVERIFY(input->text().contains(QChar(0x2026)));
    QVERIFY(input->fontMetrics().horizontalAdvance(input->text()) <= input->width());
    QCOMPARE(input->toolTip(), QString::fromStdString("/music/live/" + name));

    TfrmTagEditor e(nullptr);
    for (const char* edit : {"ID3title", "ID3artist", "ID3album", "ID3comment", "ID3genre", "ID3year", "ID3track"}) {
      bool labelled = false;
      for (QLabel* l : e.findChildren<QLabel*>()) {
        if (l->buddy() != e.findChild<QWidget*>(edit)) continue;
        labelled = true;
        // "Comment:" once ran into its field.
        QVERIFY2(l->x() + l->fontMetrics().horizontalAdvance(l->text()) < l->buddy()->x(), edit);
      }
      QVERIFY2(labelled, edit);
    }

    TfrmAbout about(nullptr);
    auto* donate = Find<QLabel>(&about, "Image3");
    QCOMPARE(donate->accessibleName(), QString("Donate"));
    QVERIFY(donate->focusPolicy() & Qt::TabFocus);
    QDesktopServices::setUrlHandler("https", this, "opened");
    Opened.clear();
    QTest::keyClick(donate, Qt::Key_Space);
    QDesktopServices::unsetUrlHandler("https");
    QCOMPARE(Opened.size(), 1);
  }

  // Regression: names that are not UTF-8 failed with "Cannot read"; in a
  // dropped folder they convert like any other, their bytes kept.
  void namesThatAreNotUtf8Convert() {
    Answers answers;
    Settings.IsShowTagEditor = false;
    const std::string folder = Home.File("latin1");
    fs::create_directories(folder);
    MakeWav(folder + "/caf\xe9.wav", 0.3);
    TfrmMain main;
    Settings.IsShowTagEditor = false;
    Settings.OutputFolder = Home.File("latin1-out");
    fs::create_directories(Settings.OutputFolder);
    QVERIFY(DragAndDrop(Find<QPushButton>(&main, "bWAVtoMP3"), Urls({QString::fromStdString(folder)})));
    const std::string out = Settings.OutputFolder + "/latin1";  // the dropped folder's own name
    QVERIFY(Settled([&] { return fs::exists(out + "/caf\xe9.mp3"); }));
    QVERIFY2(answers.Texts.isEmpty(), qPrintable(answers.Texts.join("|")));
    // The title from such a name reads as Latin-1.
    QCOMPARE(
        Run("/usr/bin/python3 -c \"from mutagen.id3 import ID3; print(ID3(b'" + out + "/caf\\xe9.mp3')['TIT2'])\""),
        std::string("caf\xc3\xa9\n"));
  }

  // Regression: one question per existing output, Yes the default.
  void overwriteQuestionForManyFiles() {
    Answers answers;
    QStringList wavs;
    fs::create_directories(Home.File("many"));
    for (int i = 1; i <= 3; ++i) {
      MakeWav(Home.File("many/" + std::to_string(i) + ".wav"), 0.2);
      wavs << QString::fromStdString(Home.File("many/" + std::to_string(i) + ".wav"));
      test::WriteText(Home.File("out/" + std::to_string(i) + ".mp3"), "old");
    }
    Settings.IsShowTagEditor = false;
    TfrmMain main;
    for (auto [reply, size] :
         {std::pair{QMessageBox::NoToAll, size_t(3)}, std::pair{QMessageBox::YesToAll, size_t(0)}}) {
      answers.Texts.clear();
      answers.Reply = reply;
      main.StartFiles(cmWavToMp3, wavs, false);
      QCOMPARE(answers.Texts.size(), 1);  // one question; no end box
      for (int i = 1; i <= 3; ++i)
        QCOMPARE(test::ReadBytes(Home.File("out/" + std::to_string(i) + ".mp3")).size() == 3, size == 3);
    }
    DialogHooks().Message = nullptr;
    QTimer::singleShot(0, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
      QVERIFY(box->button(QMessageBox::YesToAll) && box->button(QMessageBox::NoToAll));
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(ShowMessage(nullptr, QMessageBox::Information, "x has existed, overwrite it?",
                         QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll),
             QMessageBox::No);
  }

  // Regression: Enter in About opened the donation page; unnamed and hidden controls.
  void keyboardAndScreenReaders() {
    TfrmMain main;
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QCOMPARE(QApplication::focusWidget(), main.findChild<QWidget*>(kModes[0].Button));
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&main);
    QCOMPARE(frame->role(), QAccessible::Window);
    for (int i = 0; i < frame->childCount(); ++i)
      QVERIFY(!frame->child(i)->text(QAccessible::Name).endsWith(' ') &&
              !static_cast<QWidget*>(frame->child(i)->object())->isHidden());
    {
      TfrmAbout about(&main);
      about.show();
      QVERIFY(QTest::qWaitForWindowActive(&about));
      QCOMPARE(about.focusWidget(), about.findChild<QWidget*>("bOK"));
      QTest::keyClick(about.focusWidget(), Qt::Key_Return);
      QCOMPARE(about.result(), int(QDialog::Accepted));
    }
    TfrmOptions options(&main);
    QCOMPARE(options.findChild<QWidget*>("lbFormats")->accessibleName(), QString("Formats"));
    TfrmEncodeProgress progress(&main, std::vector<std::string>{}, cmWavToMp3);
    QCOMPARE(progress.findChild<QWidget*>("ProgressBar1")->accessibleName(), QString("Progress"));
  }

  // Regression: the end box outgrew the screen and left warnings and unstarted files out.
  void endBoxCountsFirstAndTellsEverything() {
    std::vector<TFileResult> results;
    for (int i = 0; i < 60; ++i)
      results.push_back({"/m/track " + std::to_string(60 - i) + ".wav", "", TFileOutcome::Failed, TReason::CannotRead,
                         "Cannot read /m/track " + std::to_string(60 - i) + ".wav: bad"});
    results.push_back({"/m/a.wav", "/o/a.mp3", TFileOutcome::Converted});
    results.back().Warnings = {{TWarningKind::SourceEndedEarly, "the source ended early"},
                               {TWarningKind::Id3v1Shortened, "ID3v1 title cut; the ID3v2 tag keeps it whole"}};
    results.push_back({"/m/z.wav", "", TFileOutcome::NotStarted, TReason::RunStopped, "the run was stopped"});
    results.push_back({"/m/k.wav", "/o/k.mp3", TFileOutcome::Skipped, TReason::OutputExists, "/o/k.mp3 has existed"});
    const std::string longPath = "/m/" + std::string(90, 'x') + ".wav";
    results.push_back({longPath, "", TFileOutcome::Skipped, TReason::AlreadyTargetType, "it is already a .mp3 file"});
    const TEndReport report = MakeEndReport(results);
    QCOMPARE(report.Counts, QString("1 converted, 60 failed, 1 skipped, 1 kept as you chose, 1 not started"));
    QVERIFY(report.Details.indexOf("track 2.wav") < report.Details.indexOf("track 10.wav"));
    QCOMPARE(report.Details.count("/m/track 7.wav"), 1);
    QVERIFY(report.Details.contains(
        "Not started (the run was stopped) (1):\n/m/z.wav\n\nWarnings (1):\n/m/a.wav: the source ended early"));
    QVERIFY(!report.Details.contains("ID3v1") && !report.Details.contains("k.wav"));
    auto box = MakeEndReportBox(nullptr, report);
    box->show();
    QVERIFY(box->height() <= box->screen()->availableGeometry().height());
    // Wide enough for the long line, uncut, and the keyboard starts in the details.
    auto* details = Find<QListView>(box.get(), "lvDetails");
    const int longLine = details->fontMetrics().horizontalAdvance(QString::fromStdString(longPath + ": it is"));
    QVERIFY(box->width() > longLine && details->sizeHintForColumn(0) > longLine);
    QCOMPARE(box->focusWidget(), details);

    Answers answers;
    const std::string wav = Home.File(std::string(40, 'n') + ".wav");
    MakeWav(wav, 0.3);
    TfrmMain main;
    Settings.IsShowTagEditor = false;
    main.StartFiles(cmWavToMp3, {QString::fromStdString(wav)}, false);
    QVERIFY2(answers.Texts.isEmpty(), qPrintable(answers.Texts.join("|")));
    QVERIFY(Find<QLabel>(&main, "lStatus")->text().startsWith("1 file converted to MP3 in 0:0"));
    // The time a question waits for its answer is not the conversion's.
    DialogHooks().Message = [](QMessageBox::Icon Icon, const QString&, QMessageBox::StandardButtons) {
      QTest::qWait(2100);
      return Icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
    };
    main.StartFiles(cmWavToMp3, {QString::fromStdString(wav)}, false);
    QVERIFY(Find<QLabel>(&main, "lStatus")->text().contains(QRegularExpression("in 0:0[01]$")));
    Answers later;
    Settings.WriteID3v2 = false;
    later.Reply = QMessageBox::Yes;
    main.StartFiles(cmWavToMp3, {QString::fromStdString(wav)}, false);
    QCOMPARE(later.Texts.size(), 2);  // the overwrite question, then the end box
    QCOMPARE(later.Icons, (QList<QMessageBox::Icon>{QMessageBox::Question, QMessageBox::Information}));
    QVERIFY2(later.Texts[1].startsWith("1 converted\n\nTags shortened (1):\n"), qPrintable(later.Texts[1]));
    QVERIFY(later.Texts[1].contains(".wav: ID3v1 title cut to 30 characters"));
    QVERIFY(Find<QLabel>(&main, "lStatus")->text().isEmpty());
  }

  // Regression: the Dark theme drew an unchecked radio button solid.
  void checkedAndUncheckedReadTheRightWayInEveryTheme() {
    for (const QString& theme : ThemeNames()) {
      ApplyTheme(theme);
      for (QStyle::SubElement kind : {QStyle::SE_RadioButtonIndicator, QStyle::SE_CheckBoxIndicator}) {
        // The inside of the mark, off and on, and the window behind it.
        QImage inside[2], behind;
        for (int on : {0, 1}) {
          std::unique_ptr<QAbstractButton> b(kind == QStyle::SE_CheckBoxIndicator
                                                 ? static_cast<QAbstractButton*>(new QCheckBox("x"))
                                                 : new QRadioButton("x"));
          b->setChecked(on);
          b->adjustSize();
          QStyleOptionButton option;
          option.initFrom(b.get());
          const QImage image = b->grab().toImage();
          inside[on] = behind = image.copy(b->style()->subElementRect(kind, &option, b.get()).adjusted(3, 3, -3, -3));
          behind.fill(image.pixelColor(image.width() - 1, image.height() - 1));
        }
        // Off is hollow, no darker than the window; on is filled.
        const int area = behind.width() * behind.height(), lightness = behind.pixelColor(0, 0).lightness();
        QVERIFY2(Differing(inside[0], behind) < area / 4 && Differing(inside[1], behind) > area / 2 &&
                     inside[0].pixelColor(inside[0].rect().center()).lightness() >= lightness - 4,
                 qPrintable(theme));
      }
    }
    ApplyTheme("");
  }

  // Regression: some controls showed no sign of the keyboard's focus.
  void focusRingOnEveryControlInEveryTheme() {
    QStringList unseen;
    // Each control with and without the focus: a ring changes two short sides' worth.
    auto check = [&](QWidget* Window, const QString& Theme) {
      Window->show();
      // The offscreen platform leaves the first window active.
      QT_WARNING_PUSH
      QT_WARNING_DISABLE_DEPRECATED
      QApplication::setActiveWindow(Window);
      QT_WARNING_POP
      for (QWidget* w : Window->findChildren<QWidget*>()) {
        if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy()) continue;
        const QRect around = QRect(w->mapTo(Window, QPoint(0, 0)), w->size()).adjusted(-3, -3, 3, 3);
        Window->setFocus();
        const QImage before = Window->grab(around).toImage();
        w->setFocus(Qt::ShortcutFocusReason);  // as the keyboard moves it
        const QImage after = Window->grab(around).toImage();
        if (!w->hasFocus() || Differing(before, after) < std::max(30, 2 * std::min(w->width(), w->height())))
          unseen << Window->objectName() + "-" + w->objectName() + "-" + Theme;
      }
      if (Window->parentWidget()) Window->hide();
    };
    for (const QString& theme : ThemeNames()) {
      ApplyTheme(theme);
      TfrmMain main;
      ApplyTheme(theme);
      check(&main, theme);
      for (int page = 0; page < 3; ++page) {
        TfrmOptions options(&main);
        options.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(page);
        check(&options, theme);
      }
      std::unique_ptr<QWidget> others[] = {
          std::make_unique<TfrmTagEditor>(&main), std::make_unique<TfrmAbout>(&main),
          std::make_unique<TfrmEncodeProgress>(&main, std::vector<std::string>{}, cmWavToMp3)};
      for (auto& w : others) check(w.get(), theme);
    }
    ApplyTheme("");
    QVERIFY2(unseen.isEmpty(), qPrintable(unseen.join(" ")));
  }

  // Every window in every theme, as PNG files to look at, of the Part's sizes
  // and not blank.
  void picturesOfEveryWindowInEveryTheme() {
    const QString folder = qEnvironmentVariable("TONVALE_RENDER_DIR", QDir::tempPath() + "/tonvale-pictures");
    QDir().mkpath(folder);
    for (const QString& theme : ThemeNames()) {
      ApplyTheme(theme);
      TfrmMain main;
      ApplyTheme(theme);
      TfrmOptions options(&main);
      TagValues.TagTitle = TagValues.TagArtist = TagValues.TagAlbum = std::string(31, 'w');
      TfrmTagEditor editor(&main, TTagKeeping::Id3v1AndWhole);  // with its note of what ID3v1 cuts
      TfrmAbout about(&main);
      TfrmEncodeProgress progress(&main, std::vector<std::string>{}, cmWavToMp3);
      progress.ShowProgress(42);
      main.ShowStatus("120 files converted to MP3 in 12:34, 6 kept as you chose");
      const std::pair<QWidget*, QSize> windows[] = {{&main, {400, 303}},
                                                    {&options, {456, 312}},
                                                    {&editor, {433, 240}},
                                                    {&about, {360, 255}},
                                                    {&progress, {366, 243}}};
      // The pictures are made for the screen's density, and the section
      // lines take the theme's accent.
      QCOMPARE(main.findChild<QLabel*>("Image1")->pixmap().devicePixelRatio(), qApp->devicePixelRatio());
      QCOMPARE(main.findChild<QFrame*>("lineMain")->palette().color(QPalette::Window), AccentColor().lighter(150));
      // The windows may grow with a larger font, not with the default one.
      const bool larger = QFontInfo(QApplication::font()).pixelSize() > 12;
      for (auto [w, size] : windows) {
        QVERIFY(larger ? w->width() >= size.width() && w->height() >= size.height() : w->size() == size);
        const QImage image = w->grab().toImage();
        TextsFit(w);
        QCOMPARE(image.size(), w->size() * image.devicePixelRatio());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 7)
          for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 8, qPrintable(w->objectName() + " looks blank"));
        QVERIFY(image.save(folder + "/" + w->objectName() + "-" + theme + ".png"));
      }
      // The status line shows whole, clear of the address; the donate picture too.
      auto* status = Find<QLabel>(&main, "lStatus");
      QVERIFY(status->fontMetrics().boundingRect(status->contentsRect(), Qt::TextWordWrap, status->text()).height() <=
                  status->height() &&
              status->toolTip().endsWith("chose"));
      QVERIFY(status->geometry().right() < Find<QLabel>(&main, "lbAddress")->x());
      auto* donate = Find<QLabel>(&about, "Image3");
      QVERIFY(donate->contentsRect().size().expandedTo(donate->pixmap().deviceIndependentSize().toSize()) ==
              donate->contentsRect().size());
      // A mode button under a drag of files.
      {
        QMimeData data;
        data.setUrls(Urls({QDir::tempPath()}));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.findChild<QPushButton*>("bWAVtoMP3"), &enter);
        QVERIFY(main.grab().save(folder + "/frmMain-drop-" + theme + ".png"));
        QDragLeaveEvent leave;
        QApplication::sendEvent(main.findChild<QPushButton*>("bWAVtoMP3"), &leave);
      }
      // The end box of a run with something of every kind to tell.
      const std::vector<TFileResult> ended = {
          {"/music/track 10.wav", "/out/track 10.mp3", TFileOutcome::Failed, TReason::CannotRead, "not audio"},
          {"/music/track 2.wav", "/out/track 2.mp3", TFileOutcome::Skipped, TReason::AlreadyTargetType, "already"},
          {"/music/late.wav", "", TFileOutcome::NotStarted, TReason::RunStopped, "the run was stopped"},
          {"/music/cut.wav",
           "/out/cut.mp3",
           TFileOutcome::Converted,
           TReason::None,
           "",
           {{TWarningKind::SourceEndedEarly, "the source ended early"}}}};
      QVERIFY(MakeEndReportBox(&main, MakeEndReport(ended))->grab().save(folder + "/frmEndReport-" + theme + ".png"));
      // The options dialog's other pages too.
      auto* pages = options.findChild<QTabWidget*>("PageControl1");
      for (int page = 1; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        QVERIFY(options.grab().save(folder + "/frmOptions-" + pages->tabText(page) + "-" + theme + ".png"));
        TextsFit(&options);
      }
    }
    ApplyTheme("");
  }
};

QTEST_MAIN(GuiTest)
#include "gui_test.moc"
