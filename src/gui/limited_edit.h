#pragma once
// An edit whose character limit applies to typing only: text the program
// places into it may be longer and is kept whole.

#include <QLineEdit>

namespace tonvale::gui {

class TLimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  TLimitedEdit(int Limit, QWidget* Parent);
  int Limit() const { return FLimit; }

 private:
  int FLimit;
  QString FPrevious, FCurrent;
};

}  // namespace tonvale::gui
