#pragma once
// The tag editor: one set of tag values for the batch about to start.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <vector>

#include "conversion/conversion_modes.h"
#include "gui/limited_edit.h"
#include "settings/settings.h"

namespace tonvale::gui {

// What the outputs keep of the values: only an ID3v1 tag (30 characters,
// Latin-1), an ID3v1 tag and a whole copy (an ID3v2 tag), or whole values
// alone (WMA).
enum class TTagKeeping { Id3v1, Id3v1AndWhole, Whole };

// What the outputs of Mode keep with Settings.
TTagKeeping TagKeepingFor(TConversionMode Mode, const TSettings& Settings);

class TfrmTagEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmTagEditor(QWidget* Owner, TTagKeeping Keeping = TTagKeeping::Id3v1);

  // With several files every output keeps its own title.
  void DisableTitle();
  void btOkClick();

 private:
  void FormCreate();
  // The note under the fields: what the ID3v1 tag will shorten, or what an
  // edit did not take.
  void ShowShortened();
  void SetNote(const QString& Text);
  // Text as the field shows it: cut to what an ID3v1 tag holds when that
  // alone keeps it (noted in FCut).
  QString Fitted(TLimitedEdit* Edit, const QString& Text);
  void ShowRefused(const QString& Field, const TLimitedEdit* Edit, const QString& LeftOut, bool NotAllowed);

  TTagKeeping FKeeping;
  QLabel* lNote;
  std::vector<const TLimitedEdit*> FCut;
  QStringList FRefused, FReasons;  // the keys the note names, refused by FRefusedBy, and why
  QString FRefusedBy;

  QLabel* lTitle;
  TLimitedEdit *ID3title, *ID3artist, *ID3album, *ID3comment, *ID3year, *ID3track;
  QComboBox* ID3genre;
  QCheckBox* cbShowTagEditor;
  QPushButton *btOk, *btCancel;
};

}  // namespace tonvale::gui
