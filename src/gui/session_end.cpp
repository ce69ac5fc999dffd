#include "gui/session_end.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>

#include "gui/dialogs.h"

namespace tonvale::gui {
namespace {

int gSignalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte down the pipe, the loop
// does the rest.
void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

// How long the end waits for a cancelled dialog's exec to return, in steps
// of 10 ms, before it goes on regardless.
constexpr int kMaxWaits = 300;

}  // namespace

TSessionEnd::TSessionEnd(QWidget* MainWindow) : FMain(MainWindow) {}

TSessionEnd::~TSessionEnd() {
  if (!FNotifier) return;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
}

bool TSessionEnd::Install() {
  if (gSignalPipe[0] < 0 && ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  FNotifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
    }
    End();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
  return true;
}

void TSessionEnd::End() {
  if (FEnding) return;
  FEnding = true;
  // Nobody is there to answer: every question has its cautious answer (an
  // existing file is kept), every notice goes unshown.
  DialogHooks().Message = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons Buttons) {
    return Buttons & QMessageBox::No ? QMessageBox::No : QMessageBox::Ok;
  };
  DialogHooks().Choice = [](const QString&, const QStringList&) { return -1; };
  DialogHooks().OpenFiles = [](const QString&, const QStringList&) { return QStringList(); };
  DialogHooks().Folder = [](const QString&, const QString&) { return QString(); };
  Step();
}

void TSessionEnd::Step() {
  // A cancelled dialog returns from its exec once the event loop it runs is
  // back in control; the next one is cancelled after that, so that a run's
  // Stop never waits beneath a box it is itself waiting for.
  if (FCancelled && ++FWaits < kMaxWaits) {
    QTimer::singleShot(10, this, [this] { Step(); });
    return;
  }
  FWaits = 0;
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != FMain) {
    FCancelled = modal;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    QTimer::singleShot(0, this, [this] { Step(); });
    return;
  }
  FMain->close();
  QCoreApplication::quit();
}

}  // namespace tonvale::gui
