#include "gui/dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QPushButton>

namespace tonvale::gui {

TDialogHooks& DialogHooks() {
  static TDialogHooks hooks;
  return hooks;
}

QMessageBox::StandardButton ShowMessage(QWidget* Parent, QMessageBox::Icon Icon, const QString& Text,
                                        QMessageBox::StandardButtons Buttons) {
  if (DialogHooks().Message) return DialogHooks().Message(Icon, Text, Buttons);
  QMessageBox box(Icon, "Tonvale", Text, Buttons, Parent);
  box.setTextFormat(Qt::PlainText);
  if (Buttons & QMessageBox::No) {
    // Enter never says yes by itself; Escape says No.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
  }
  const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
  const bool given = answer == QMessageBox::Yes || answer == QMessageBox::YesToAll || answer == QMessageBox::NoToAll;
  if ((Buttons & QMessageBox::No) && !given) return QMessageBox::No;
  return answer;
}

int ShowChoice(QWidget* Parent, const QString& Text, const QStringList& Buttons) {
  if (DialogHooks().Choice) return DialogHooks().Choice(Text, Buttons);
  QMessageBox box(QMessageBox::Question, "Tonvale", Text, QMessageBox::NoButton, Parent);
  box.setTextFormat(Qt::PlainText);
  QList<QAbstractButton*> choices;
  for (const QString& b : Buttons) choices << box.addButton(b, QMessageBox::AcceptRole);
  box.setEscapeButton(box.addButton(QMessageBox::Cancel));
  box.exec();
  return static_cast<int>(choices.indexOf(box.clickedButton()));
}

std::string EncodePath(const QString& Path) { return QFile::encodeName(Path).toStdString(); }
QString DecodePath(const std::string& Path) { return QFile::decodeName(QByteArray::fromStdString(Path)); }

void ShowMissingFolder(QWidget* Parent, const QString& Folder) {
  ShowMessage(Parent, QMessageBox::Critical, Folder + ",the output folder does not exist.");
}

QStringList OpenFiles(QWidget* Parent, const QString& Title, const QStringList& Filters) {
  if (DialogHooks().OpenFiles) return DialogHooks().OpenFiles(Title, Filters);
  QFileDialog dialog(Parent, Title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(Filters);
  // "*.wav" also shows "SONG.WAV".
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QString ChooseFolder(QWidget* Parent, const QString& Title, const QString& Start) {
  if (DialogHooks().Folder) return DialogHooks().Folder(Title, Start);
  return QFileDialog::getExistingDirectory(Parent, Title, Start,
                                           QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

}  // namespace tonvale::gui
