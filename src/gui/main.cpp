// tonvale: the window. One instance per user; a second start brings the
// first one's main window forward, hands it its files and ends.

#include <QApplication>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "gui/dialogs.h"
#include "gui/frm_main.h"
#include "gui/session_end.h"
#include "settings/settings.h"
#include "gui/single_instance.h"
#include "gui/ui_bridge.h"
#include "platform/standard_streams.h"

namespace {

// Path from the root, its folder resolved by the file system (a ".." after a
// link to a folder is that folder's parent), so that another working folder
// finds the same file; as given when the folder cannot be resolved.
std::string Resolved(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : Path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? Path : Path.substr(slash + 1);
  char real[PATH_MAX];
  // A folder given as "x/.." or "x/" is resolved whole.
  if (name.empty() || name == "." || name == "..") return ::realpath(Path.c_str(), real) ? real : Path;
  if (!::realpath(folder.c_str(), real)) return Path;
  const std::string root = real;
  return root + (root == "/" ? "" : "/") + name;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: a closed standard stream would otherwise be
  // the descriptor of a file the program writes.
  if (!tonvale::FillClosedStandardStreams()) return 2;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tonvale");
  QGuiApplication::setDesktopFileName("tonvale");
  // Files given by the desktop ("Open With"), absolute (a running instance
  // has another working folder) and as their bytes (a name need not be
  // UTF-8); the application has taken its own options out of argv.
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) files.push_back(Resolved(argv[i]));
  tonvale::gui::TSingleInstance instance;
  QString why;
  const QString socket = tonvale::gui::TSingleInstance::SocketPath(&why);
  if (instance.HandOver(socket, files)) return 0;
  tonvale::gui::TUiBridge bridge;
  QString settingsProblem;
  try {
    // What was not taken as it stands is said as a refusal is.
    for (const std::string& warning : tonvale::LoadSettings()) {
      std::fprintf(stderr, "tonvale: %s\n", warning.c_str());
      settingsProblem += (settingsProblem.isEmpty() ? "" : "\n") + QString::fromStdString(warning);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tonvale: %s\n", e.what());
    settingsProblem = QString::fromUtf8(e.what());
  }
  tonvale::gui::TfrmMain frmMain;
  const bool listening = instance.Listen(
      socket,
      [&frmMain](const QByteArray& Token, const std::vector<std::string>& Given) {
        if (!Token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", Token);
        frmMain.RestoreInstance();
        if (!Given.empty()) QTimer::singleShot(0, &frmMain, [&frmMain, Given] { frmMain.TakeFiles(Given); });
      },
      &why);
  if (!listening) std::fprintf(stderr, "tonvale: running without single instance: %s\n", qPrintable(why));
  // Logout, shutdown and a closed terminal stop the runs and close the
  // window as the user would; a session save keeps the options.
  tonvale::gui::TSessionEnd sessionEnd(&frmMain);
  if (!sessionEnd.Install()) std::fprintf(stderr, "tonvale: the end of the session cannot be caught\n");
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &sessionEnd, [&sessionEnd] { sessionEnd.End(); });
  QObject::connect(&app, &QGuiApplication::saveStateRequest, &frmMain, [&frmMain] { frmMain.SaveOptions(); });
  frmMain.show();
  if (!settingsProblem.isEmpty())
    QTimer::singleShot(0, &frmMain, [&frmMain, settingsProblem] {
      tonvale::gui::ShowMessage(&frmMain, QMessageBox::Warning, settingsProblem);
    });
  if (!files.empty()) QTimer::singleShot(0, &frmMain, [&frmMain, files] { frmMain.TakeFiles(files); });
  return QApplication::exec();
}
