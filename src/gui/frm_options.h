#pragma once
// The options dialog: edits Settings in memory; OK stores, Cancel does not.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <memory>

#include "audio/winmedia/wma_out.h"

namespace tonvale::gui {

class TfrmOptions : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmOptions(QWidget* Owner);

  // Store false: Settings into the controls; true: the controls into
  // Settings. Storing checks the bit-rate texts first and stores nothing when
  // one is not a number (it returns false after saying which).
  bool ExchangeSettings(bool Store);

  void btOkClick();
  void btBrowserClick();
  void bDefaultClick();
  void bWMADefaultClick();
  void rbVBRClick();
  void cbWMA_VBRClick();
  void lbCodecsClick();
  void cbSameAsInputFolderClick();

 private:
  void FormCreate();
  // The formats of the chosen codec for the VBR choice, the VBR box enabled
  // only where the codec has VBR formats.
  void FillFormats();
  // The format list as wide as its longest entry.
  void FitFormats();
  // The default format of the list shown, and selecting Index or, when the
  // list has no such entry, the default.
  int DefaultFormat() const;
  void SelectFormat(int Index);
  QWidget* OutputPage();
  QWidget* LamePage();
  QWidget* WmaPage();

  QTabWidget* PageControl1;
  QLineEdit* editOutputDir;
  QPushButton *btBrowser, *bDefault, *bWMADefault, *btOk, *btCancel;
  QCheckBox *cbSameAsInputFolder, *cbShowTagEditor, *cbSameTag, *ckbVBRHead, *cbWMA_VBR, *cbWriteID3v2;
  QRadioButton *rbCBR, *rbVBR;
  QComboBox *cbConstantBitRate, *cbMinBitRate, *cbMaxBitRate, *cbVBRQuality, *cbStereoMode;
  QSlider* tbMP3Cpu;
  QSpinBox* seJobs;
  QListWidget *lbCodecs, *lbFormats;
  // Only for the codec and format lists; never run.
  std::unique_ptr<TWMAOut> WMAOut1;
};

}  // namespace tonvale::gui
