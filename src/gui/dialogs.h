#pragma once
// The one seam for message boxes and file dialogs: the windows call these,
// tests replace the answers.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace tonvale::gui {

struct TDialogHooks {
  // Returns the button pressed. Replaced by tests; real boxes when empty.
  std::function<QMessageBox::StandardButton(QMessageBox::Icon Icon, const QString& Text,
                                            QMessageBox::StandardButtons Buttons)>
      Message;
  std::function<QStringList(const QString& Title, const QStringList& Filters)> OpenFiles;
  std::function<QString(const QString& Title, const QString& Start)> Folder;
  // Returns the index of the button pressed, -1 for Cancel.
  std::function<int(const QString& Text, const QStringList& Buttons)> Choice;
};

TDialogHooks& DialogHooks();

// A message box captioned "Tonvale"; the text is plain text, never markup.
// With Yes and No, No is the default button and any way of closing it other
// than Yes (or Yes to All, No to All when shown) answers No.
QMessageBox::StandardButton ShowMessage(QWidget* Parent, QMessageBox::Icon Icon, const QString& Text,
                                        QMessageBox::StandardButtons Buttons = QMessageBox::Ok);
// A question box with the buttons Buttons and "Cancel": the index of the
// button pressed, -1 for Cancel or a box closed otherwise.
int ShowChoice(QWidget* Parent, const QString& Text, const QStringList& Buttons);
// "<Folder>,the output folder does not exist." with the error icon.
void ShowMissingFolder(QWidget* Parent, const QString& Folder);
// Qt's own open-file dialog, several files, name filters matched in any
// letter case. Empty when cancelled.
QStringList OpenFiles(QWidget* Parent, const QString& Title, const QStringList& Filters);
// Qt's own folder dialog. Empty when cancelled.
QString ChooseFolder(QWidget* Parent, const QString& Title, const QString& Start);

// Paths go to the engine as the file system's bytes and come back from them,
// so names that are not UTF-8 survive the trip.
std::string EncodePath(const QString& Path);
QString DecodePath(const std::string& Path);

}  // namespace tonvale::gui
