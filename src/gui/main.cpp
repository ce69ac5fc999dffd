// tonvale: the window. One instance per user; a second start brings the
// first one's main window forward, hands it its files and ends.

#include <QApplication>
#include <filesystem>
#include <QTimer>
#include <cstdio>

#include "gui/frm_main.h"
#include "settings/settings.h"
#include "gui/single_instance.h"
#include "gui/ui_bridge.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tonvale");
  QGuiApplication::setDesktopFileName("tonvale");
  // Files given by the desktop ("Open With"), absolute (a running instance
  // has another working folder) and as their bytes (a name need not be
  // UTF-8); the application has taken its own options out of argv.
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(argv[i], ec);
    files.push_back(ec ? argv[i] : absolute.lexically_normal().string());
  }
  tonvale::gui::TSingleInstance instance;
  QString why;
  const QString socket = tonvale::gui::TSingleInstance::SocketPath(&why);
  if (instance.HandOver(socket, files)) return 0;
  tonvale::gui::TUiBridge bridge;
  try {
    tonvale::LoadSettings();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tonvale: %s\n", e.what());
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
  frmMain.show();
  if (!files.empty()) QTimer::singleShot(0, &frmMain, [&frmMain, files] { frmMain.TakeFiles(files); });
  return QApplication::exec();
}
