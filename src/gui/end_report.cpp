#include "gui/end_report.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QListView>
#include <QStringListModel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QEventLoop>
#include <algorithm>
#include <thread>

#include "gui/dialogs.h"

namespace tonvale::gui {

QString KeptAsChosen(size_t Count) { return QString("%1 kept as you chose").arg(Count); }

QString NaturalKey(const QString& Text) {
  // Letters case-folded; a run of digits as '0', its length without leading
  // zeros, then those digits: a longer number sorts after a shorter one, and
  // a number sorts against a letter as a digit does.
  QString key;
  key.reserve(Text.size() + 8);
  for (qsizetype i = 0; i < Text.size();) {
    if (!Text[i].isDigit()) {
      key += Text[i++].toCaseFolded();
      continue;
    }
    while (i + 1 < Text.size() && Text[i] == u'0' && Text[i + 1].isDigit()) ++i;
    qsizetype end = i;
    while (end < Text.size() && Text[end].isDigit()) ++end;
    key += u'0';
    key += QChar(static_cast<char16_t>(1 + std::min<qsizetype>(end - i, 0xFFF0)));
    key += QStringView(Text).mid(i, end - i);
    i = end;
  }
  return key;
}

namespace {

struct TEntry {
  QString Key, Text;
};

// One line for the file: the message alone when it names the file already.
QString Line(const std::string& Path, const std::string& Message) {
  if (!Path.empty() && Message.find(Path) != std::string::npos) return DecodePath(Message);
  return DecodePath(Path) + ": " + DecodePath(Message);
}

void Section(const QString& Title, std::vector<TEntry>& Entries, QStringList& Lines) {
  if (Entries.empty()) return;
  std::sort(Entries.begin(), Entries.end(), [](const TEntry& A, const TEntry& B) { return A.Key < B.Key; });
  if (!Lines.isEmpty()) Lines << "";
  Lines << QString("%1 (%2):").arg(Title).arg(Entries.size());
  for (const TEntry& e : Entries) Lines << e.Text;
}

// The lines of the details, each as wide as the widest.
class TLines : public QStringListModel {
 public:
  using QStringListModel::QStringListModel;
  QSize Room;
  QVariant data(const QModelIndex& Index, int Role) const override {
    if (Role == Qt::SizeHintRole && Room.isValid()) return Room;
    return QStringListModel::data(Index, Role);
  }
};

}  // namespace

TEndReport MakeEndReport(const std::vector<TFileResult>& Results) {
  size_t converted = 0, failed = 0, skipped = 0, declined = 0, notStarted = 0;
  std::vector<TEntry> failures, skips, never, warnings, shortened;
  for (const TFileResult& r : Results) {
    const QString path = NaturalKey(DecodePath(r.Source));
    switch (r.Outcome) {
      case TFileOutcome::Converted: ++converted; break;
      case TFileOutcome::Failed: ++failed, failures.push_back({path, Line(r.Source, r.Message)}); break;
      case TFileOutcome::Skipped:
        // Those the user chose not to replace are counted apart, not listed:
        // the user has just said so, file by file or for all.
        if (r.Declined())
          ++declined;
        else
          ++skipped, skips.push_back({path, Line(r.Source, r.Message)});
        break;
      case TFileOutcome::NotStarted: ++notStarted, never.push_back({path, DecodePath(r.Source)}); break;
    }
    for (const TWarning& w : r.Warnings) {
      // A value cut only where another tag of the file keeps it whole is not lost.
      if (w.Kind == TWarningKind::Id3v1Shortened) continue;
      // Named by the source, as failures and skips are.
      (w.Kind == TWarningKind::TagsShortened ? shortened : warnings).push_back({path, Line(r.Source, w.Text)});
    }
  }
  TEndReport report;
  QStringList counts{QString("%1 converted").arg(converted)};
  if (failed) counts << QString("%1 failed").arg(failed);
  if (skipped) counts << QString("%1 skipped").arg(skipped);
  if (declined) counts << KeptAsChosen(declined);
  if (notStarted) counts << QString("%1 not started").arg(notStarted);
  report.Counts = counts.join(", ");
  Section("Could not be converted", failures, report.Lines);
  Section("Skipped", skips, report.Lines);
  Section("Not started (the run was stopped)", never, report.Lines);
  Section("Warnings", warnings, report.Lines);
  Section("Tags shortened", shortened, report.Lines);
  report.Details = report.Lines.join("\n");
  if (!failures.empty() || !skips.empty() || !never.empty() || !warnings.empty()) report.Icon = QMessageBox::Warning;
  return report;
}

TEndReport MakeEndReportAside(std::vector<TFileResult> Results) {
  TEndReport report;
  QEventLoop loop;
  std::thread worker([&] {
    report = MakeEndReport(Results);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  return report;
}

std::unique_ptr<QDialog> MakeEndReportBox(QWidget* Parent, const TEndReport& Report) {
  auto box = std::make_unique<QDialog>(Parent);
  box->setObjectName("frmEndReport");
  box->setWindowTitle("Tonvale");
  auto* layout = new QGridLayout(box.get());
  auto* icon = new QLabel(box.get());
  const auto picture =
      Report.Icon == QMessageBox::Warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation;
  icon->setPixmap(box->style()->standardIcon(picture).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  icon->setAccessibleName(Report.Icon == QMessageBox::Warning ? "Warning" : "Information");
  layout->addWidget(icon, 0, 0, 2, 1);
  auto* counts = new QLabel(Report.Counts, box.get());
  counts->setObjectName("lCounts");
  counts->setTextFormat(Qt::PlainText);
  counts->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  layout->addWidget(counts, 0, 1);
  // A list of lines, laid out only where seen: tens of thousands cost
  // little. Lines are selected as in a file manager and copied with Ctrl+C.
  auto* details = new QListView(box.get());
  details->setObjectName("lvDetails");
  details->setAccessibleName("Details");
  details->setUniformItemSizes(true);
  details->setEditTriggers(QAbstractItemView::NoEditTriggers);
  details->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* model = new TLines(Report.Lines, details);
  details->setModel(model);
  auto* copy = new QAction("Copy", details);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  details->addAction(copy);
  details->setContextMenuPolicy(Qt::ActionsContextMenu);
  QObject::connect(copy, &QAction::triggered, details, [details] {
    QModelIndexList rows = details->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList text;
    for (const QModelIndex& i : rows) text << i.data().toString();
    QGuiApplication::clipboard()->setText(text.join("\n"));
  });
  layout->addWidget(details, 1, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box.get());
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, box.get(), &QDialog::accept);
  layout->addWidget(buttons, 2, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  // As wide as the longest lines (measured among the longest by their
  // length: tens of thousands are not measured one by one), within the
  // screen; the details scroll.
  qsizetype longest = 0;
  for (const QString& l : Report.Lines) longest = std::max(longest, l.size());
  int widest = 0;
  int measured = 0;
  for (const QString& l : Report.Lines)
    if (l.size() * 5 >= longest * 4 && measured++ < 200)
      widest = std::max(widest, details->fontMetrics().horizontalAdvance(l));
  // Every row takes the widest line's room: the view sizes all rows as its
  // first, and would cut longer lines with "...".
  if (!Report.Lines.isEmpty()) model->Room = QSize(widest + 12, details->sizeHintForRow(0));
  const int chrome = 32 + 3 * layout->horizontalSpacing() + 2 * layout->contentsMargins().left() +
                     details->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * details->frameWidth() + 8;
  QSize size(std::max(560, widest + chrome), 360);
  if (const QScreen* s = Parent ? Parent->screen() : box->screen())
    size = size.boundedTo(s->availableGeometry().size() * 9 / 10);
  box->resize(size);
  // The keyboard starts in the details: Ctrl+A and Ctrl+C copy them; Enter
  // still presses OK, the default button.
  details->setFocus();
  return box;
}

void ShowEndReport(QWidget* Parent, const TEndReport& Report) {
  if (DialogHooks().Message) {
    DialogHooks().Message(Report.Icon,
                          Report.Details.isEmpty() ? Report.Counts : Report.Counts + "\n\n" + Report.Details,
                          QMessageBox::Ok);
    return;
  }
  MakeEndReportBox(Parent, Report)->exec();
}

}  // namespace tonvale::gui
