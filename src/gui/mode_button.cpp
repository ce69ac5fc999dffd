#include "gui/mode_button.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStyle>
#include <QTimer>
#include <QUrl>

namespace tonvale::gui {

TModeButton::TModeButton(const QString& Caption, QWidget* Parent) : QPushButton(Caption, Parent) {
  setAcceptDrops(true);
}

QStringList TModeButton::LocalPaths(const QMimeData* Data) {
  QStringList paths;
  if (!Data || !Data->hasUrls()) return paths;
  for (const QUrl& url : Data->urls())
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) paths << url.toLocalFile();
  return paths;
}

// A drag is taken only as a copy: a file manager deletes the originals of an
// accepted move.
void TModeButton::dragEnterEvent(QDragEnterEvent* Event) {
  if (LocalPaths(Event->mimeData()).isEmpty() || !(Event->possibleActions() & Qt::CopyAction)) {
    Event->ignore();
    return;
  }
  Event->setDropAction(Qt::CopyAction);
  Event->accept();
  Highlight(true);
}

void TModeButton::dragMoveEvent(QDragMoveEvent* Event) {
  Event->setDropAction(Qt::CopyAction);
  Event->accept();
}

void TModeButton::dragLeaveEvent(QDragLeaveEvent* Event) {
  Highlight(false);
  QPushButton::dragLeaveEvent(Event);
}

void TModeButton::dropEvent(QDropEvent* Event) {
  Highlight(false);
  const QStringList paths = LocalPaths(Event->mimeData());
  if (paths.isEmpty() || !(Event->possibleActions() & Qt::CopyAction)) {
    Event->ignore();
    return;
  }
  Event->setDropAction(Qt::CopyAction);
  Event->accept();
  // The conversion runs its own windows: first let the drop end, so the file
  // manager is not held until the batch is over.
  if (OnDrop) QTimer::singleShot(0, this, [this, paths] { OnDrop(paths); });
}

void TModeButton::Highlight(bool On) {
  setProperty("dropTarget", On);
  style()->unpolish(this);
  style()->polish(this);
  update();
}

}  // namespace tonvale::gui
