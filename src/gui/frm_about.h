#pragma once
// The About box.

#include <QDialog>

class QLabel;

namespace tonvale::gui {

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* Owner);

  void lbEAddressClick();
  void Image3Click();

 protected:
  void showEvent(QShowEvent* Event) override;  // FormShow
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  QLabel* lName;
  QLabel* Image3;
};

}  // namespace tonvale::gui
