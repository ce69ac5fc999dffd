#pragma once
// The end the session asks for: SIGTERM, SIGINT and SIGHUP (logout,
// shutdown, a closed terminal) and the session manager's end of session end
// the window as its Stop and then the user's close do: every lane stopped,
// its temporary files removed and what stood kept, the settings saved, no
// box left waiting for an answer that will not come.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace tonvale::gui {

class TSessionEnd : public QObject {
 public:
  // MainWindow is closed last, as the user closes it.
  explicit TSessionEnd(QWidget* MainWindow);
  ~TSessionEnd() override;

  // Catches the three signals. False when they cannot be (no pipe).
  bool Install();
  // Ends the program: every open dialog cancelled, the innermost first (a
  // progress window stops its run), then the main window closed.
  void End();
  bool Ending() const { return FEnding; }

 private:
  void Step();

  QWidget* FMain;
  QSocketNotifier* FNotifier = nullptr;
  QPointer<QWidget> FCancelled;  // the dialog whose exec is still to return
  int FWaits = 0;
  bool FEnding = false;
};

}  // namespace tonvale::gui
