#pragma once
// An edit whose character limit applies to what the user types or pastes:
// an edit that would take the text past the limit changes nothing (text and
// cursor stay), any shortening works, and a longer text the program places
// into it stays whole until the user edits it.

#include <QLineEdit>

namespace tonvale::gui {

class TLimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  TLimitedEdit(int Limit, QWidget* Parent);
  int Limit() const { return FLimit; }

 private:
  int FLimit;
};

}  // namespace tonvale::gui
