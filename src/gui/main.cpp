// tonvale: the window. One instance per user; a second start brings the
// first one's main window forward and ends.

#include <QApplication>

#include "gui/frm_main.h"
#include "gui/single_instance.h"
#include "gui/ui_bridge.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tonvale");
  QGuiApplication::setDesktopFileName("tonvale");
  tonvale::gui::TSingleInstance instance;
  const QString socket = tonvale::gui::TSingleInstance::SocketPath();
  if (instance.HandOver(socket)) return 0;
  tonvale::gui::TUiBridge bridge;
  tonvale::gui::TfrmMain frmMain;
  instance.Listen(socket, [&frmMain](const QByteArray& Token) {
    if (!Token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", Token);
    frmMain.RestoreInstance();
  });
  frmMain.show();
  return QApplication::exec();
}
