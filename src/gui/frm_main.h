#pragma once
// The main window: six conversion modes, settings, the output folder, help
// and the About box, on a borderless window dragged by its background.

#include <QComboBox>
#include <QList>
#include <QStringList>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"

namespace tonvale::gui {

class TfrmEncodeProgress;

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
  // Writes options.ini now; a failure is said in a box.
  void SaveOptions();
  // The whole start of a conversion in Mode; returns after the batch.
  void StartConversion(TConversionMode Mode);
  // A start in Mode with files and folders already chosen: Dropped ones (on
  // a mode button, or handed over by the desktop) of another source type are
  // left out and told of; chosen ones are all tried in the mode.
  void StartFiles(TConversionMode Mode, const QStringList& Paths, bool Dropped);
  // How the last run ended, on two lines left of the address at most; the
  // whole text in the tooltip.
  void ShowStatus(const QString& Text);
  // The same with paths as the file system's bytes.
  void StartFiles(TConversionMode Mode, const std::vector<std::string>& Paths, bool Dropped);
  // Files handed over by the desktop: for each source type among them, in
  // the order given, the user picks one of the two conversions it allows.
  void TakeFiles(const std::vector<std::string>& Paths);
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
  // A new theme recolours the section lines with its accent.
  void changeEvent(QEvent* Event) override;

 private:
  QLabel* Label(const QString& Name, const QString& Text, int X, int Y, bool Bold);
  QPushButton* FlatButton(const QString& Name, const QString& Caption, const QString& Hint, int X, int Y, int W,
                          QPushButton* Button = nullptr);
  void Section(const QString& Text, int X, int Y, int W);
  void ChooseTheme(const QString& Name);
  TPlanRequest PlanFor(TConversionMode Mode, const std::vector<std::string>& Paths, bool Dropped) const;
  void TakeGroups(const std::vector<std::string>& Paths);
  // Hand-overs that arrive while a conversion or a question is under way
  // wait for it to end.
  void TakePending();
  int FBusy = 0;
  std::vector<std::vector<std::string>> FPending;
  // The progress window of the running batch, which tells of the waiting
  // hand-overs.
  TfrmEncodeProgress* FProgress = nullptr;

  QLabel* Image1;
  QLabel* lStatus;
  QComboBox* ID3genre;
};

}  // namespace tonvale::gui
