#include "gui/limited_edit.h"

namespace tonvale::gui {

TLimitedEdit::TLimitedEdit(int Limit, QWidget* Parent) : QLineEdit(Parent), FLimit(Limit) {
  // textChanged comes before textEdited: keep the text before each change.
  connect(this, &QLineEdit::textChanged, this, [this](const QString& Text) {
    FPrevious = FCurrent;
    FCurrent = Text;
  });
  // Typing or pasting that would grow the text past the limit is undone;
  // shortening a longer text placed by the program is allowed.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& Text) {
    if (Text.size() > FLimit && Text.size() > FPrevious.size()) {
      const int cursor = cursorPosition() - (Text.size() - FPrevious.size());
      const QString keep = FPrevious;
      setText(keep);
      setCursorPosition(std::max(cursor, 0));
    }
  });
}

}  // namespace tonvale::gui
