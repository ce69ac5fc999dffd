#pragma once
// An edit whose limits apply to what the user types, pastes or drops: what
// an edit adds is cut to what fits (a selection it replaces counts as room)
// and, with a set of allowed characters, the others are left out; what was
// left out is told of, never dropped silently. A longer value the program
// places with SetValue stays whole, and typing may make it no longer.

#include <QLineEdit>

namespace tonvale::gui {

class TLimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  // Allowed: the characters an edit may add; empty for any.
  TLimitedEdit(int Limit, QWidget* Parent, const QString& Allowed = {});
  int Limit() const { return FLimit; }
  // Sets the limit; the text stands as it is.
  void SetLimit(int Limit);
  // Places Text whole, its start in view.
  void SetValue(const QString& Text);
  // The longest text an edit may give: the limit, or a longer placed value.
  int Room() const { return std::max(FLimit, FPlaced); }
  // A separator the text holds at most once, after something ("3/12").
  void SetSeparator(QChar Separator) { FSeparator = Separator; }
  QChar Separator() const { return FSeparator; }

 signals:
  // An edit gave more than the edit takes: LeftOut is what it did not take,
  // NotAllowed whether some of it were characters it never takes.
  void Refused(const QString& LeftOut, bool NotAllowed);

 private:
  int FLimit;
  int FPlaced = 0;
  QChar FSeparator;
};

}  // namespace tonvale::gui
