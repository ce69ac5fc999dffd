#pragma once
// The main window: six conversion modes, settings, the output folder, help
// and the About box, on a borderless window dragged by its background.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

namespace tonvale::gui {

class TfrmMain : public QWidget {
  Q_OBJECT
 public:
  // The class-name literal: the key of the single instance.
  static constexpr const char* kClassName = "Tonvale Made by Quarnel Software";

  explicit TfrmMain(QWidget* Parent = nullptr);

  // Whether (X, Y) lies on no picture, label, link label or flat button other
  // than the background; both bounds of each control count as on it.
  bool IsBackgroundPoint(int X, int Y) const;
  // The handler of the restore request of a second start.
  void RestoreInstance();
  // The whole start of a conversion in Mode; returns after the batch.
  void StartConversion(int Mode);
  bool CheckOutputFolder();

  void bMP3toWMAClick(QObject* Sender);
  void bSettingsClick();
  void bShowFilesClick();
  void bHomepageClick();
  void bDonateClick();
  void bAboutClick();
  void bExitClick() { close(); }
  void bMinimizeClick() { showMinimized(); }
  void bCloseClick() { close(); }

 protected:
  void FormCreate();
  void closeEvent(QCloseEvent* Event) override;  // FormClose
  void mousePressEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;

 private:
  QLabel* Label(const QString& Name, const QString& Text, int X, int Y, bool Bold);
  QPushButton* FlatButton(const QString& Name, const QString& Caption, const QString& Hint, int X, int Y, int W);
  void Section(const QString& Text, int X, int Y, int W);
  void ChooseTheme(const QString& Name);

  QLabel* Image1;
  QComboBox* ID3genre;
};

}  // namespace tonvale::gui
