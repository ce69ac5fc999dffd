#pragma once
// What the end of a run tells: the counts first, then one line for each file
// that failed, was skipped for a reason of its own, was never started, or
// converted with a warning, in natural order (track 2 before track 10).

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "conversion/file_result.h"

namespace tonvale::gui {

struct TEndReport {
  QString Counts;     // "58 converted, 60 failed, 2 skipped, 1 not started"
  QStringList Lines;  // the details, a line each; none when every file converted as asked
  QString Details;    // the lines joined
  // Information when the details only tell of shortened tags.
  QMessageBox::Icon Icon = QMessageBox::Information;
};

TEndReport MakeEndReport(const std::vector<TFileResult>& Results);
// MakeEndReport on a thread of its own while this thread's events run: tens
// of thousands of files take longer to sort than a frame lasts.
TEndReport MakeEndReportAside(std::vector<TFileResult> Results);
// The box of Report: the counts, the details in a scrollable text to select
// and copy from, and OK, the default button.
std::unique_ptr<QDialog> MakeEndReportBox(QWidget* Parent, const TEndReport& Report);
// Shows it modally (through the dialog hooks' message when tests set one).
void ShowEndReport(QWidget* Parent, const TEndReport& Report);
// A key of Text whose plain order is the natural one: letters in any case
// alike, runs of digits compared as numbers (track 2 before track 10).
QString NaturalKey(const QString& Text);
// "6 kept as you chose": existing outputs the user chose not to replace.
QString KeptAsChosen(size_t Count);

}  // namespace tonvale::gui
