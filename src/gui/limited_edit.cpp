#include "gui/limited_edit.h"

#include <QValidator>

namespace tonvale::gui {
namespace {

// The line edit asks it about every change, the user's and the program's,
// after the change; what the change added is found against the text as it
// stood before, which the edit's textChanged keeps. It never answers Invalid
// (the edit would then refuse the next key as well): a change that gives too
// much is cut to what fits and stands.
class TLengthValidator : public QValidator {
 public:
  TLengthValidator(TLimitedEdit* Edit, QString Allowed) : QValidator(Edit), FEdit(Edit), FAllowed(std::move(Allowed)) {
    connect(Edit, &QLineEdit::textChanged, this, [this](const QString& Text) { FBefore = Text; });
  }
  void Placing(const QString& Text) { FBefore = Text; }

  State validate(QString& Input, int& Pos) const override {
    // The unchanged start and end; what lies between is what the change added.
    const qsizetype shorter = std::min(Input.size(), FBefore.size());
    qsizetype start = 0;
    while (start < shorter && Input[start] == FBefore[start]) ++start;
    qsizetype end = 0;
    while (end < shorter - start && Input[Input.size() - 1 - end] == FBefore[FBefore.size() - 1 - end]) ++end;
    const QString added = Input.mid(start, Input.size() - end - start);
    QString kept, leftOut;
    bool notAllowed = false;
    const QChar separator = FEdit->Separator();
    bool separated = !separator.isNull() && (Input.left(start) + Input.right(end)).contains(separator);
    for (QChar c : added) {
      bool allowed = FAllowed.isEmpty() || FAllowed.contains(c);
      if (allowed && c == separator) {
        allowed = !separated && start + kept.size() > 0;
        separated = true;
      }
      (allowed ? kept : leftOut) += c;
      notAllowed = notAllowed || !allowed;
    }
    const qsizetype room = std::max<qsizetype>(0, FEdit->Room() - (Input.size() - added.size()));
    if (kept.size() > room) {
      qsizetype cut = room;
      if (cut > 0 && kept[cut - 1].isHighSurrogate()) --cut;
      leftOut += kept.mid(cut);
      kept.truncate(cut);
    }
    if (leftOut.isEmpty()) return Acceptable;
    const qsizetype dropped = added.size() - kept.size();
    Input = Input.left(start) + kept + Input.right(end);
    if (Pos >= start + added.size()) {
      Pos = static_cast<int>(Pos - dropped);
    } else if (Pos > start) {
      Pos = static_cast<int>(std::min<qsizetype>(Pos, start + kept.size()));
    }
    emit FEdit->Refused(leftOut, notAllowed);
    return Acceptable;
  }

 private:
  TLimitedEdit* FEdit;
  QString FAllowed;
  QString FBefore;  // the text as it stands
};

}  // namespace

TLimitedEdit::TLimitedEdit(int Limit, QWidget* Parent, const QString& Allowed) : QLineEdit(Parent), FLimit(Limit) {
  setValidator(new TLengthValidator(this, Allowed));
}

void TLimitedEdit::SetLimit(int Limit) { FLimit = Limit; }

void TLimitedEdit::SetValue(const QString& Text) {
  FPlaced = static_cast<int>(Text.size());
  static_cast<TLengthValidator*>(const_cast<QValidator*>(validator()))->Placing(Text);
  setText(Text);
  setCursorPosition(0);
}

}  // namespace tonvale::gui
