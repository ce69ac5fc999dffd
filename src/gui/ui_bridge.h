#pragma once
// Runs the engine's UI-thread work in Qt's event loop: the wake callback of
// platform/ui_thread posts an event, whose handling processes the queue.

#include <QEvent>
#include <QObject>
#include <atomic>

namespace tonvale::gui {

class TUiBridge : public QObject {
 public:
  static const QEvent::Type WakeEvent;

  // Makes the calling (Qt main) thread the engine's UI thread.
  TUiBridge();
  ~TUiBridge() override;

 protected:
  bool event(QEvent* Event) override;

 private:
  std::atomic<bool> FPending{false};
};

}  // namespace tonvale::gui
