#pragma once
// Making the windows' controls: a T from its arguments and its parent,
// named after the control and placed at its position.

#include <QRect>
#include <QWidget>
#include <utility>

namespace tonvale::gui {

template <typename T, typename... Args>
T* Place(QWidget* Parent, const char* Name, const QRect& Where, Args&&... A) {
  auto* w = new T(std::forward<Args>(A)..., Parent);
  w->setObjectName(Name);
  w->setGeometry(Where);
  return w;
}

}  // namespace tonvale::gui
