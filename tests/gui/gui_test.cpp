// The windows, offscreen: names, texts and behaviour of the main window, the
// progress window, the options dialog, the tag editor and the About box, the
// single-instance hand-over, conversions started through the window, and a
// picture of every window in every theme.

#include <QApplication>
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
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "conversion/conversion_modes.h"
#include "gui/dialogs.h"
#include "gui/frm_about.h"
#include "gui/frm_encode_progress.h"
#include "gui/frm_main.h"
#include "gui/frm_options.h"
#include "gui/frm_tag_editor.h"
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
  QMessageBox::StandardButton Reply = QMessageBox::Ok;
  QStringList Files;
  Answers() {
    DialogHooks().Message = [this](QMessageBox::Icon, const QString& Text, QMessageBox::StandardButtons) {
      Texts << Text;
      return Reply;
    };
    DialogHooks().OpenFiles = [this](const QString&, const QStringList&) { return Files; };
    DialogHooks().Folder = [](const QString&, const QString&) { return QString(); };
  }
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

}  // namespace

class GuiTest : public QObject {
  Q_OBJECT
  test::TempDir Home;
  std::unique_ptr<TUiBridge> Bridge;

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
      QCOMPARE(answers.Texts, QStringList({QString::fromStdString(Home.File("missing")) +
                                           ",the output folder does not exist."}));
      Settings.BitRate = 96;
      Find<QToolButton>(&main, "bClose")->click();
    }
    QVERIFY(fs::exists(Home.File("config/Quarnel/Tonvale/options.ini")));
    Settings.BitRate = 0;
    LoadSettings();
    QCOMPARE(Settings.BitRate, 96);
  }

  void singleInstanceHandOverAndStaleSocket() {
    const QString path = QString::fromStdString(Home.File("instance.sock"));
    int restores = 0;
    QByteArray token;
    {
      // A socket file left by a crash does not stop the start.
      QFile stale(path);
      QVERIFY(stale.open(QIODevice::WriteOnly));
      stale.close();
      TSingleInstance first;
      first.Listen(path, [&](const QByteArray& T) {
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
    const QString run = QString::fromStdString(Home.File("run"));
    QDir().mkpath(run);
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
    QCOMPARE(second.exitCode(), 0);
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
    // Cancel stores nothing; typed text that is no item gives -1.
    const TSettings stored = Settings;
    {
      TfrmOptions o(nullptr);
      Find<QComboBox>(&o, "cbStereoMode")->setEditText("Quadro");
      QTest::keyClick(&o, Qt::Key_Escape);
    }
    QCOMPARE(Settings.StereoMode, stored.StereoMode);
    {
      TfrmOptions o(nullptr);
      Find<QComboBox>(&o, "cbStereoMode")->setEditText("Quadro");
      Find<QPushButton>(&o, "btOk")->click();
      QCOMPARE(Find<QComboBox>(&o, "cbStereoMode")->count(), 4);
    }
    QCOMPARE(Settings.StereoMode, -1);
    // Stored WMA VBR: this runtime's codecs have no VBR formats, so the box is
    // checked over an empty list, and OK stores no format (-1).
    Settings.VBR = true;
    Settings.FormatIndex = 5;
    {
      TfrmOptions o(nullptr);
      QVERIFY(Find<QCheckBox>(&o, "cbWMA_VBR")->isChecked());
      QCOMPARE(Find<QListWidget>(&o, "lbFormats")->count(), 0);
      // Enter in an edit presses no button.
      auto* folder = Find<QLineEdit>(&o, "editOutputDir");
      folder->setFocus();
      QTest::keyClick(folder, Qt::Key_Return);
      QCOMPARE(o.result(), 0);
      Find<QPushButton>(&o, "btOk")->click();
    }
    QCOMPARE(Settings.FormatIndex, -1);
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
      QCOMPARE(title->text().size(), 40);  // placed by the program: kept whole
      QCOMPARE(Find<QComboBox>(&e, "ID3genre")->currentIndex(), -1);
      auto* year = Find<QLineEdit>(&e, "ID3year");
      year->setFocus();
      QTest::keyClicks(year, "199999");
      QCOMPARE(year->text(), QString("1999"));
      QTest::keyClick(year, Qt::Key_Return);  // presses no button
      QVERIFY(e.isVisible() || e.result() == 0);
      Find<QPushButton>(&e, "btOk")->click();
    }
    QCOMPARE(TagValues.TagTitle.size(), size_t(40));
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
    QCOMPARE(TagValues.TagTitle.size(), size_t(40));
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
    QCOMPARE(Run("/usr/bin/python3 -c \"from mutagen.id3 import ID3; t = ID3('" + mp3 +
                 "'); print(t['TIT2'], t['TPE1'])\""),
             std::string("song Band\n"));
    QVERIFY(answers.Texts.isEmpty());

    // A WMA target takes the editor's values as attributes.
    WhenModal("frmTagEditor", [](QWidget* Editor) {
      Editor->findChild<QLineEdit*>("ID3album")->setText("Live");
      Editor->findChild<QPushButton*>("btOk")->click();
    });
    answers.Files = {QString::fromStdString(wav)};
    main.StartConversion(cmWavToWma);
    const QString wma = QString::fromStdString(Run("ffprobe -v error -show_entries stream=codec_name:format_tags -of "
                                                   "default=nw=1 " + test::Quote(Home.File("out/song.wma"))));
    for (const char* line : {"codec_name=wmav2", "TAG:Title=song", "TAG:album=Live"})
      QVERIFY2(wma.contains(line), qPrintable(wma));
    // No editor for a WAV target, whatever the settings.
    answers.Files = {QString::fromStdString(mp3)};
    main.StartConversion(cmMp3ToWav);
    QCOMPARE(Run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " +
                 test::Quote(Home.File("out/song.wav"))),
             std::string("pcm_s16le\n"));

    // No at the overwrite question keeps the file; a failed file is told of.
    const auto old = test::ReadBytes(Home.File("out/song.wav"));
    answers.Reply = QMessageBox::No;
    main.StartConversion(cmMp3ToWav);
    QCOMPARE(answers.Texts.size(), 1);
    QCOMPARE(answers.Texts[0], QString::fromStdString(Home.File("out/song.wav")) + " has existed, overite it?");
    QCOMPARE(test::ReadBytes(Home.File("out/song.wav")), old);
    test::WriteText(Home.File("junk.wav"), std::string(3000, 'x'));
    answers.Files = {QString::fromStdString(Home.File("junk.wav"))};
    answers.Texts.clear();
    Settings.IsShowTagEditor = false;
    main.StartConversion(cmWavToMp3);
    QCOMPARE(answers.Texts.size(), 1);
    QVERIFY(answers.Texts[0].startsWith("This file could not be converted:"));
    QVERIFY(answers.Texts[0].contains("not an audio file of a kind that can be decoded"));

    // A missing output folder stops the start with the message.
    Settings.OutputFolder = Home.File("gone");
    answers.Texts.clear();
    main.StartConversion(cmWavToMp3);
    QCOMPARE(answers.Texts, QStringList({"the output folder does not exist.Please check the output directory setting."}));
  }

  void stopLeavesThePartialFileAndCloses() {
    Answers answers;
    const std::string wav = Home.File("long.wav");
    MakeWav(wav, 60);
    TfrmEncodeProgress p(nullptr, {wav});
    p.SetMode(cmWavToMp3);
    QCOMPARE(p.size(), QSize(366, 243));
    QCOMPARE(Find<QProgressBar>(&p, "ProgressBar1")->text(), QString("0%"));
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(p.findChild<QLabel*>("lOutputFileName")->text() == "long.mp3");
      QTest::qWait(200);
      QTest::keyClick(&p, Qt::Key_Escape);  // as Stop
    });
    p.exec();
    QVERIFY(fs::exists(Home.File("out/long.mp3")));
    QCOMPARE(answers.Texts.size(), 1);
    QVERIFY(answers.Texts[0].contains("Stopped before the end"));
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
      TfrmTagEditor editor(&main);
      TfrmAbout about(&main);
      TfrmEncodeProgress progress(&main, {});
      progress.ShowProgress(42);
      const std::pair<QWidget*, QSize> windows[] = {{&main, {400, 303}},   {&options, {456, 312}},
                                                    {&editor, {433, 240}}, {&about, {360, 255}},
                                                    {&progress, {366, 243}}};
      for (auto [w, size] : windows) {
        QCOMPARE(w->size(), size);
        const QImage image = w->grab().toImage();
        QCOMPARE(image.size(), size * image.devicePixelRatio());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 7)
          for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 8, qPrintable(w->objectName() + " looks blank"));
        QVERIFY(image.save(folder + "/" + w->objectName() + "-" + theme + ".png"));
      }
      // The options dialog's other pages too.
      auto* pages = options.findChild<QTabWidget*>("PageControl1");
      for (int page = 1; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        QVERIFY(options.grab().save(folder + "/frmOptions-" + pages->tabText(page) + "-" + theme + ".png"));
      }
    }
    ApplyTheme("");
  }
};

QTEST_MAIN(GuiTest)
#include "gui_test.moc"
