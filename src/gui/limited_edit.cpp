#include "gui/limited_edit.h"

#include <QValidator>

namespace tonvale::gui {
namespace {

// The line edit asks it about every user edit, before the edit takes place,
// and never about text set by the program: an edit may give at most the
// limit, or no more than the text held before it.
class TLengthValidator : public QValidator {
 public:
  TLengthValidator(int Limit, QLineEdit* Edit) : QValidator(Edit), FLimit(Limit) {
    connect(Edit, &QLineEdit::textChanged, this, [this](const QString& Text) { FHeld = Text.size(); });
  }
  State validate(QString& Input, int&) const override {
    return Input.size() <= std::max<qsizetype>(FLimit, FHeld) ? Acceptable : Invalid;
  }

 private:
  int FLimit;
  qsizetype FHeld = 0;  // the length of the text as it stands
};

}  // namespace

TLimitedEdit::TLimitedEdit(int Limit, QWidget* Parent) : QLineEdit(Parent), FLimit(Limit) {
  setValidator(new TLengthValidator(Limit, this));
}

}  // namespace tonvale::gui
