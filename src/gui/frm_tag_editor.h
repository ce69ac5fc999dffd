#pragma once
// The tag editor: one set of tag values for the batch about to start.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "gui/limited_edit.h"

namespace tonvale::gui {

class TfrmTagEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmTagEditor(QWidget* Owner);

  // With several files every output keeps its own title.
  void DisableTitle();
  void btOkClick();

 private:
  void FormCreate();

  QLabel* lTitle;
  TLimitedEdit *ID3title, *ID3artist, *ID3album, *ID3comment, *ID3year, *ID3track;
  QComboBox* ID3genre;
  QCheckBox* cbShowTagEditor;
  QPushButton *btOk, *btCancel;
};

}  // namespace tonvale::gui
