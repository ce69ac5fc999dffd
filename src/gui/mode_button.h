#pragma once
// A conversion mode's button: pressed, it starts the mode's open-file
// dialog; files and folders dropped on it from a file manager start the mode
// with them. It takes only local files, always as a copy.

#include <QPushButton>
#include <QStringList>
#include <functional>

class QMimeData;

namespace tonvale::gui {

class TModeButton : public QPushButton {
  Q_OBJECT
 public:
  TModeButton(const QString& Caption, QWidget* Parent);

  // Runs with the local paths of a drop, once the drop itself has ended.
  std::function<void(const QStringList& Paths)> OnDrop;

  // The local files and folders a drag carries; empty when it carries none.
  static QStringList LocalPaths(const QMimeData* Data);

 protected:
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dragLeaveEvent(QDragLeaveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

 private:
  void Highlight(bool On);
};

}  // namespace tonvale::gui
