#pragma once
// The one seam for message boxes and file dialogs: the windows call these,
// tests replace the answers.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

namespace tonvale::gui {

struct TDialogHooks {
  // Returns the button pressed. Replaced by tests; real boxes when empty.
  std::function<QMessageBox::StandardButton(QMessageBox::Icon Icon, const QString& Text,
                                            QMessageBox::StandardButtons Buttons)>
      Message;
  std::function<QStringList(const QString& Title, const QStringList& Filters)> OpenFiles;
  std::function<QString(const QString& Title, const QString& Start)> Folder;
};

TDialogHooks& DialogHooks();

// A message box captioned "Tonvale"; the text is plain text, never markup.
// With Yes and No, any way of closing it other than Yes answers No.
QMessageBox::StandardButton ShowMessage(QWidget* Parent, QMessageBox::Icon Icon, const QString& Text,
                                        QMessageBox::StandardButtons Buttons = QMessageBox::Ok);
// "<Folder>,the output folder does not exist." with the error icon.
void ShowMissingFolder(QWidget* Parent, const QString& Folder);
// Qt's own open-file dialog, several files, name filters matched in any
// letter case. Empty when cancelled.
QStringList OpenFiles(QWidget* Parent, const QString& Title, const QStringList& Filters);
// Qt's own folder dialog. Empty when cancelled.
QString ChooseFolder(QWidget* Parent, const QString& Title, const QString& Start);

}  // namespace tonvale::gui
