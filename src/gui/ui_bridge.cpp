#include "gui/ui_bridge.h"

#include <QCoreApplication>

#include "platform/ui_thread.h"

namespace tonvale::gui {

const QEvent::Type TUiBridge::WakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

TUiBridge::TUiBridge() {
  ui_thread::Initialise();
  ui_thread::SetWakeCallback([this] {
    // One event at a time is enough: its handling runs everything queued.
    if (!FPending.exchange(true)) QCoreApplication::postEvent(this, new QEvent(WakeEvent));
  });
}

TUiBridge::~TUiBridge() { ui_thread::SetWakeCallback(nullptr); }

bool TUiBridge::event(QEvent* Event) {
  if (Event->type() != WakeEvent) return QObject::event(Event);
  FPending = false;
  try {
    ui_thread::ProcessMessages();
  } catch (const std::exception&) {
    // A step's failure ends that step only, as the window's handlers do.
  }
  return true;
}

}  // namespace tonvale::gui
