#include "gui/text_fit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace tonvale::gui {
namespace {

// The space kept between a text and the control after it.
constexpr int kGap = 4;

// The controls placed by the window's own code under Parent: not those a Qt
// widget makes for itself (a combo box's edit, a tab widget's pages).
QList<QWidget*> Placed(const QWidget* Parent) {
  QList<QWidget*> placed;
  for (QWidget* w : Parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!w->isWindow() && !w->objectName().startsWith("qt_")) placed << w;
  return placed;
}

// The containers whose controls are placed by position: the window, its
// group boxes and its tab pages, at any depth.
void Containers(QWidget* Parent, QList<QWidget*>& All) {
  All << Parent;
  for (QWidget* w : Placed(Parent)) {
    if (qobject_cast<QGroupBox*>(w)) Containers(w, All);
    if (auto* tabs = qobject_cast<QTabWidget*>(w))
      for (int i = 0; i < tabs->count(); ++i) Containers(tabs->widget(i), All);
  }
}

}  // namespace

int ListWidthFor(const QListWidget* List) {
  const int rows = List->count() * List->sizeHintForRow(0);
  const bool scrolls = rows > List->height() - 2 * List->frameWidth();
  // An entry's hint holds the margins around its text.
  return List->sizeHintForColumn(0) + 2 * List->frameWidth() +
         (scrolls ? List->verticalScrollBar()->sizeHint().width() : 0);
}

namespace {

// The width Control's text needs, 0 when it shows none.
int TextWidth(const QWidget* Control) {
  if (auto* label = qobject_cast<const QLabel*>(Control))
    return label->text().isEmpty() || label->wordWrap() ? 0 : label->sizeHint().width();
  // A list to choose from shows its longest entry whole.
  if (auto* combo = qobject_cast<const QComboBox*>(Control)) {
    // The text it shows, with the frame and the arrow around it.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    const QSize text(combo->fontMetrics().horizontalAdvance(combo->currentText()), combo->fontMetrics().height());
    return combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, combo).width();
  }
  if (auto* button = qobject_cast<const QAbstractButton*>(Control)) {
    if (button->text().isEmpty()) return 0;
    // A picture button shows a glyph, told of by its tooltip.
    if (qobject_cast<const QToolButton*>(Control)) return 0;
    // A push button's hint has a least width of its own; its text needs
    // less.
    if (qobject_cast<const QPushButton*>(Control))
      return button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) + 12;
    return button->sizeHint().width();
  }
  return 0;
}

// The width of the container's inside: a tab page is as wide as its tab
// widget's frame lets it be, before it was ever shown.
int InnerWidth(const QWidget* Container) {
  auto* stack = qobject_cast<const QStackedWidget*>(Container->parentWidget());
  auto* tabs = stack ? qobject_cast<const QTabWidget*>(stack->parentWidget()) : nullptr;
  return tabs ? tabs->width() - 2 * tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs) - 2
              : Container->width();
}

// The room Control has for its text: its width, up to the next control to
// its right on the same line, and up to the container's edge, whichever is
// least.
int Room(const QWidget* Control, const QList<QWidget*>& Siblings, int Inner) {
  const QRect r = Control->geometry();
  int room = std::min(r.width(), Inner - kGap - r.x());
  for (const QWidget* s : Siblings) {
    const QRect g = s->geometry();
    // A picture behind the controls is no neighbour.
    if (s == Control || s->isHidden() || g.contains(r) || g.x() <= r.x()) continue;
    if (g.top() <= r.bottom() && r.top() <= g.bottom()) room = std::min(room, g.x() - kGap - r.x());
  }
  return room;
}

}  // namespace

double GrowthForText(const QWidget* Window) {
  QList<QWidget*> containers;
  Containers(const_cast<QWidget*>(Window), containers);
  double growth = 1;
  for (const QWidget* c : containers) {
    const QList<QWidget*> siblings = Placed(c);
    const int inner = InnerWidth(c);
    for (const QWidget* w : siblings) {
      if (w->isHidden()) continue;
      if (const int need = TextWidth(w); need > 0)
        growth = std::max(growth, need / static_cast<double>(std::max(1, Room(w, siblings, inner))));
      if (qobject_cast<const QLabel*>(w) && TextWidth(w) > 0)
        growth = std::max(growth, w->fontMetrics().height() / static_cast<double>(std::max(1, w->height())));
    }
  }
  return growth;
}

void GrowToFitText(QWidget* Window, double AtLeast) {
  const double growth = std::max(AtLeast, GrowthForText(Window));
  if (growth <= 1) return;
  // Both edges of each control move, so neighbours stay as far apart as
  // they were, in proportion.
  const auto grown = [growth](int V) { return static_cast<int>(std::ceil(V * growth)); };
  QList<QWidget*> containers;
  Containers(Window, containers);
  for (QWidget* c : containers)
    for (QWidget* w : Placed(c)) {
      const QRect g = w->geometry();
      QRect to(QPoint(grown(g.x()), grown(g.y())),
               QPoint(grown(g.x() + g.width()), grown(g.y() + g.height())) - QPoint(1, 1));
      // A caption is as tall as its text needs: taller, it would reach into
      // the control under it.
      if (qobject_cast<QLabel*>(w) && w->sizeHint().height() < to.height())
        to.setHeight(std::max(g.height(), w->sizeHint().height()));
      w->setGeometry(to);
    }
  Window->setFixedSize(grown(Window->width()), grown(Window->height()));
}

}  // namespace tonvale::gui
