#include "gui/frm_options.h"

#include <QApplication>
#include <QGroupBox>
#include <QDir>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <filesystem>

#include "gui/dialogs.h"
#include "gui/text_fit.h"
#include "gui/widgets.h"
#include "platform/shell_folders.h"
#include "settings/settings.h"

namespace tonvale::gui {
namespace {

const char* const kBitRates[] = {" 32 kbit/s", " 40 kbit/s", " 48 kbit/s", " 56 kbit/s", " 64 kbit/s",
                                 " 80 kbit/s", " 96 kbit/s", "112 kbit/s", "128 kbit/s", "160 kbit/s",
                                 "192 kbit/s", "224 kbit/s", "256 kbit/s", "320 kbit/s"};

// The space between the codec and the format lists.
constexpr int kListGap = 8;

// The entry Index, or no selection when there is none such.
void Select(QComboBox* Box, int Index) { Box->setCurrentIndex(Index >= 0 && Index < Box->count() ? Index : -1); }
void Select(QListWidget* List, int Index) {
  List->setCurrentRow(Index >= 0 && Index < List->count() ? Index : -1);
  if (List->currentRow() < 0)
    List->clearSelection();
  else
    List->scrollToItem(List->currentItem());
}
// The item the combo's text names, -1 when typed text names none.
int ItemIndex(const QComboBox* Box) {
  if (!Box->isEditable()) return Box->currentIndex();
  return Box->findText(Box->currentText(), Qt::MatchExactly);
}
// The first three characters, trimmed, as a whole number.
bool BitRateOf(const QComboBox* Box, int& Value) {
  bool ok = false;
  Value = Box->currentText().left(3).trimmed().toInt(&ok);
  return ok;
}

QComboBox* Combo(QWidget* Parent, const QString& Name, bool Editable, const QStringList& Items, QRect Where) {
  auto* c = new QComboBox(Parent);
  c->setObjectName(Name);
  c->setEditable(Editable);
  c->setInsertPolicy(QComboBox::NoInsert);  // typed text is not added to the list
  c->addItems(Items);
  c->setGeometry(Where);
  return c;
}

QLabel* Caption(QWidget* Parent, const QString& Text, int X, int Y) {
  auto* l = new QLabel(Text, Parent);
  l->move(X, Y);
  l->adjustSize();
  return l;
}

}  // namespace

TfrmOptions::TfrmOptions(QWidget* Owner) : QDialog(Owner), WMAOut1(std::make_unique<TWMAOut>(nullptr)) {
  setObjectName("frmOptions");
  setWindowTitle("Options");
  setFixedSize(456, 312);
  PageControl1 = Place<QTabWidget>(this, "PageControl1", {8, 8, 440, 262});
  PageControl1->addTab(OutputPage(), "Output");
  PageControl1->addTab(LamePage(), "LAME");
  PageControl1->addTab(WmaPage(), "WMA");
  btOk = Place<QPushButton>(this, "btOk", {286, 278, 75, 25}, "OK");
  btCancel = Place<QPushButton>(this, "btCancel", {370, 278, 75, 25}, "Cancel");
  connect(btOk, &QPushButton::clicked, this, [this] { btOkClick(); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  // Enter presses OK, whichever control has the focus; Escape and the close
  // box cancel.
  for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
  btOk->setDefault(true);
  FormCreate();
  // A larger font grows the window, also where the two lists side by side
  // could not show their entries whole; the format list then takes the room
  // its entries need.
  const int lists = lbFormats->geometry().right() + 1 - lbCodecs->x();
  const int need = ListWidthFor(lbCodecs) + kListGap + ListWidthFor(lbFormats);
  GrowToFitText(this, need / static_cast<double>(lists));
  FitFormats();
}

QWidget* TfrmOptions::OutputPage() {
  auto* page = new QWidget;
  page->setObjectName("tsOutput");
  auto* group = new QGroupBox("Output folder", page);
  group->setGeometry(8, 8, 418, 70);
  auto* picture = new QLabel(group);
  picture->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(24, 24));
  picture->setGeometry(10, 30, 24, 24);
  editOutputDir = Place<QLineEdit>(group, "editOutputDir", {42, 30, 280, 24});
  btBrowser = Place<QPushButton>(group, "btBrowser", {330, 29, 78, 26}, "Browse");
  connect(btBrowser, &QPushButton::clicked, this, [this] { btBrowserClick(); });
  auto check = [page](const QString& Name, const QString& Text, int Y) {
    auto* c = new QCheckBox(Text, page);
    c->setObjectName(Name);
    c->move(12, Y);
    c->adjustSize();
    return c;
  };
  cbSameAsInputFolder = check("cbSameAsInputFolder", "Same as input folder", 92);
  cbShowTagEditor = check("cbShowTagEditor", "Don't show Tag Editor dialog when converting", 120);
  cbSameTag = check("cbSameTag", "Use the same ID3 Tag for the batch files", 148);
  // Set from code, a check box acts as when clicked.
  connect(cbSameAsInputFolder, &QCheckBox::toggled, this, [this] { cbSameAsInputFolderClick(); });
  connect(cbSameTag, &QCheckBox::toggled, this, [this] { cbSameAsInputFolderClick(); });
  auto* jobsLabel = new QLabel("Files converted at the same time:", page);
  jobsLabel->move(12, 180);
  jobsLabel->adjustSize();
  seJobs = Place<QSpinBox>(page, "seJobs", {jobsLabel->x() + jobsLabel->width() + 8, 176, 100, 24});
  seJobs->setRange(0, kMaxJobs);
  seJobs->setSpecialValueText("Automatic");
  jobsLabel->setBuddy(seJobs);
  return page;
}

QWidget* TfrmOptions::LamePage() {
  auto* page = new QWidget;
  page->setObjectName("tsLame");
  auto* rate = new QGroupBox("Bit Rate", page);
  rate->setGeometry(8, 6, 250, 200);
  rbCBR = Place<QRadioButton>(rate, "rbCBR", {10, 22, 230, 20}, "CBR(Constant Bit Rate)");
  rbCBR->setChecked(true);
  QLabel* bitrate = Caption(rate, "Bitrate", 28, 50);
  QStringList constant;
  for (int kbps : kConstantBitRatesKbps) constant << QString::number(kbps);
  cbConstantBitRate = Combo(rate, "cbConstantBitRate", false, constant, QRect(150, 46, 90, 22));
  bitrate->setBuddy(cbConstantBitRate);
  cbConstantBitRate->setCurrentIndex(5);
  rbVBR = Place<QRadioButton>(rate, "rbVBR", {10, 76, 230, 20}, "VBR(Variable Bit Rate)");
  ckbVBRHead = Place<QCheckBox>(rate, "ckbVBRHead", {28, 98, 210, 20}, "Write MP3 VBR Header");
  QStringList rates;
  for (const char* r : kBitRates) rates << r;
  QLabel* minimum = Caption(rate, "Minimum bitrate:", 28, 126);
  minimum->setBuddy(cbMinBitRate = Combo(rate, "cbMinBitRate", true, rates, QRect(150, 122, 90, 22)));
  QLabel* maximum = Caption(rate, "Maximum bitrate:", 28, 150);
  maximum->setBuddy(cbMaxBitRate = Combo(rate, "cbMaxBitRate", true, rates, QRect(150, 146, 90, 22)));
  QLabel* quality = Caption(rate, "VBR Quality:", 28, 174);
  cbVBRQuality =
      Combo(rate, "cbVBRQuality", false, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, QRect(150, 170, 90, 22));
  quality->setBuddy(cbVBRQuality);
  connect(rbVBR, &QRadioButton::toggled, this, [this] { rbVBRClick(); });

  auto* channels = new QGroupBox("Channels", page);
  channels->setGeometry(266, 6, 160, 60);
  cbStereoMode = Combo(channels, "cbStereoMode", false, {"Stereo", "Joint Stereo", "Dual Channels", "Mono"},
                       QRect(10, 26, 140, 22));
  auto* cpu = new QGroupBox("CPU Usage", page);
  cpu->setGeometry(266, 72, 160, 80);
  tbMP3Cpu = new QSlider(Qt::Horizontal, cpu);
  tbMP3Cpu->setObjectName("tbMP3Cpu");
  tbMP3Cpu->setRange(1, 3);
  tbMP3Cpu->setTickInterval(1);
  tbMP3Cpu->setTickPosition(QSlider::TicksBelow);
  tbMP3Cpu->setGeometry(10, 24, 140, 26);
  Caption(cpu, "Less", 10, 54);
  Caption(cpu, "More", 122, 54);
  cbWriteID3v2 =
      Place<QCheckBox>(page, "cbWriteID3v2", {10, 210, 320, 20}, "Also write an ID3v2 tag (full-length titles)");
  bDefault = Place<QPushButton>(page, "bDefault", {346, 200, 80, 26}, "&Default");
  connect(bDefault, &QPushButton::clicked, this, [this] { bDefaultClick(); });
  return page;
}

QWidget* TfrmOptions::WmaPage() {
  auto* page = new QWidget;
  page->setObjectName("tsWMA");
  QLabel* codecs = Caption(page, "Codecs", 8, 6);
  lbCodecs = Place<QListWidget>(page, "lbCodecs", {8, 24, 172, 170});
  lbCodecs->setAccessibleName("Codecs");
  codecs->setBuddy(lbCodecs);
  QLabel* formats = Caption(page, "Formats", 188, 6);
  lbFormats = Place<QListWidget>(page, "lbFormats", {188, 24, 238, 170});
  lbFormats->setAccessibleName("Formats");
  formats->setBuddy(lbFormats);
  lbFormats->setProperty("caption", QVariant::fromValue<QWidget*>(formats));
  cbWMA_VBR = Place<QCheckBox>(page, "cbWMA_VBR", {8, 204, 200, 20}, "VBR(Variable Bit Rate)");
  bWMADefault = Place<QPushButton>(page, "bWMADefault", {346, 200, 80, 26}, "&Default");
  // Whatever changes the codec (mouse, arrow keys, Home, End) refills the formats.
  connect(lbCodecs, &QListWidget::currentRowChanged, this, [this] { lbCodecsClick(); });
  connect(cbWMA_VBR, &QCheckBox::toggled, this, [this] { cbWMA_VBRClick(); });
  connect(bWMADefault, &QPushButton::clicked, this, [this] { bWMADefaultClick(); });
  return page;
}

void TfrmOptions::FormCreate() {
  for (const std::string& c : WMAOut1->Codecs()) lbCodecs->addItem(QString::fromStdString(c));
  Select(lbCodecs, 0);
  FillFormats();
  Select(lbFormats, 0);
  ExchangeSettings(false);
  PageControl1->setCurrentIndex(0);
}

void TfrmOptions::FillFormats() {
  lbFormats->clear();
  const int codec = lbCodecs->currentRow();
  // VBR only where the codec offers VBR formats: an empty list would leave
  // nothing to choose and no file to write.
  WMAOut1->SetVBR(true);
  const bool vbr = codec >= 0 && !WMAOut1->Formats(static_cast<uint16_t>(codec)).empty();
  if (!vbr && cbWMA_VBR->isChecked()) {
    const QSignalBlocker quiet(cbWMA_VBR);
    cbWMA_VBR->setChecked(false);
  }
  cbWMA_VBR->setEnabled(vbr);
  cbWMA_VBR->setToolTip(vbr ? QString() : "This codec offers no VBR formats.");
  cbWMA_VBR->setAccessibleDescription(cbWMA_VBR->toolTip());
  WMAOut1->SetVBR(cbWMA_VBR->isChecked());
  if (codec < 0) return;
  const auto& formats = WMAOut1->Formats(static_cast<uint16_t>(codec));
  for (size_t i = 0; i < formats.size(); ++i) {
    QString text = QString::fromStdString(formats[i]);
    // The settings' default format is marked; the stored index is unchanged.
    if (static_cast<int>(i) == DefaultFormat()) text += " (default)";
    lbFormats->addItem(text);
  }
  FitFormats();
}

void TfrmOptions::FitFormats() {
  // The format list is as wide as its longest entry (and no narrower than
  // laid out), the codec list giving up what it does not need.
  const int right = lbFormats->geometry().right(), gap = kListGap;
  const int least = 238 * width() / 456;
  const int most = right - gap - (lbCodecs->x() + ListWidthFor(lbCodecs)) + 1;
  const int wide = std::clamp(ListWidthFor(lbFormats), std::min(least, most), most);
  lbFormats->setGeometry(right + 1 - wide, lbFormats->y(), wide, lbFormats->height());
  lbCodecs->resize(lbFormats->x() - gap - lbCodecs->x(), lbCodecs->height());
  if (QWidget* caption = lbFormats->property("caption").value<QWidget*>()) caption->move(lbFormats->x(), caption->y());
}

int TfrmOptions::DefaultFormat() const {
  const TSettings d = DefaultSettings();
  return lbCodecs->currentRow() == d.CodecIndex && WMAOut1->VBR() == d.VBR ? d.FormatIndex : 0;
}

void TfrmOptions::SelectFormat(int Index) {
  Select(lbFormats, Index >= 0 && Index < lbFormats->count() ? Index : DefaultFormat());
}

bool TfrmOptions::ExchangeSettings(bool Store) {
  if (!Store) {
    editOutputDir->setText(QString::fromStdString(Settings.OutputFolder));
    cbSameAsInputFolder->setChecked(Settings.SameAsInputFolder);
    cbSameAsInputFolderClick();
    cbShowTagEditor->setChecked(!Settings.IsShowTagEditor);
    cbSameTag->setChecked(Settings.IsSameTag);
    seJobs->setValue(Settings.Jobs);
    rbVBR->setChecked(Settings.IsSelectVBR);
    ckbVBRHead->setChecked(Settings.IsVBRHead);
    cbWriteID3v2->setChecked(Settings.WriteID3v2);
    cbMinBitRate->setEditText(QString("%1 kbit/s").arg(Settings.BitRate));
    cbMaxBitRate->setEditText(QString("%1 kbit/s").arg(Settings.MaxBitRate));
    Select(cbVBRQuality, Settings.VBRQuality);
    Select(cbStereoMode, Settings.StereoMode);
    tbMP3Cpu->setValue(Settings.CPU);
    Select(cbConstantBitRate, Settings.ConstantBitRate);
    rbVBRClick();
    Select(lbCodecs, Settings.CodecIndex);
    {
      const QSignalBlocker quiet(cbWMA_VBR);  // the list is filled once, below
      cbWMA_VBR->setChecked(Settings.VBR);
    }
    FillFormats();
    // A stored format that is none of the list's (-1, or beyond it) shows as the default.
    SelectFormat(Settings.FormatIndex);
    return true;
  }
  // Every field is checked before any is stored: a bad one leaves Settings
  // exactly as it was.
  int minRate = 0, maxRate = 0;
  for (auto [box, name, value] :
       {std::tuple{cbMinBitRate, "Minimum bitrate", &minRate}, std::tuple{cbMaxBitRate, "Maximum bitrate", &maxRate}}) {
    if (!BitRateOf(box, *value)) {
      ShowMessage(this, QMessageBox::Critical,
                  QString("%1: '%2' is not a number of kbit/s.").arg(name, box->currentText()));
      PageControl1->setCurrentIndex(1);
      box->setFocus();
      return false;
    }
  }
  Settings.SameAsInputFolder = cbSameAsInputFolder->isChecked();
  Settings.IsShowTagEditor = !cbShowTagEditor->isChecked();
  Settings.IsSameTag = cbSameTag->isChecked();
  Settings.Jobs = seJobs->value();
  Settings.OutputFolder = editOutputDir->text().toStdString();
  Settings.IsSelectVBR = rbVBR->isChecked();
  Settings.IsVBRHead = ckbVBRHead->isChecked();
  Settings.WriteID3v2 = cbWriteID3v2->isChecked();
  Settings.BitRate = minRate;
  Settings.MaxBitRate = maxRate;
  // Lists: nothing chosen (a stored value outside them) stores the default.
  const TSettings d = DefaultSettings();
  Settings.VBRQuality = ItemIndex(cbVBRQuality) >= 0 ? ItemIndex(cbVBRQuality) : d.VBRQuality;
  Settings.StereoMode = ItemIndex(cbStereoMode) >= 0 ? ItemIndex(cbStereoMode) : d.StereoMode;
  Settings.CPU = tbMP3Cpu->value();
  Settings.ConstantBitRate = ItemIndex(cbConstantBitRate);
  Settings.CodecIndex = lbCodecs->currentRow();
  // Never a format outside the list: a conversion could not start with it.
  Settings.FormatIndex = lbFormats->currentRow() >= 0 ? lbFormats->currentRow() : d.FormatIndex;
  Settings.VBR = cbWMA_VBR->isChecked();
  return true;
}

void TfrmOptions::btOkClick() {
  std::error_code ec;
  if (!cbSameAsInputFolder->isChecked() && !std::filesystem::is_directory(editOutputDir->text().toStdString(), ec)) {
    ShowMissingFolder(this, editOutputDir->text());
    if (PageControl1->currentIndex() == 0) editOutputDir->setFocus();
    return;
  }
  if (ExchangeSettings(true)) accept();
}

void TfrmOptions::btBrowserClick() {
  const QString current = editOutputDir->text();
  std::error_code ec;
  const QString start =
      !current.isEmpty() && std::filesystem::is_directory(EncodePath(current), ec) ? current : QDir::homePath();
  const QString folder = ChooseFolder(this, "Please select the folder to save the audio file", start);
  if (!folder.isEmpty()) editOutputDir->setText(folder);
}

void TfrmOptions::cbSameAsInputFolderClick() {
  const bool own = !cbSameAsInputFolder->isChecked();
  editOutputDir->setEnabled(own);
  btBrowser->setEnabled(own);
}

void TfrmOptions::rbVBRClick() {
  const bool vbr = rbVBR->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(ckbVBRHead), static_cast<QWidget*>(cbMinBitRate),
                     static_cast<QWidget*>(cbMaxBitRate), static_cast<QWidget*>(cbVBRQuality)})
    w->setEnabled(vbr);
}

void TfrmOptions::lbCodecsClick() {
  FillFormats();
  SelectFormat(0);
}

void TfrmOptions::cbWMA_VBRClick() {
  FillFormats();
  SelectFormat(0);
}

// The Default buttons show the values a missing key loads as.
void TfrmOptions::bDefaultClick() {
  const TSettings d = DefaultSettings();
  rbCBR->setChecked(!d.IsSelectVBR);
  rbVBR->setChecked(d.IsSelectVBR);
  Select(cbConstantBitRate, d.ConstantBitRate);
  ckbVBRHead->setChecked(d.IsVBRHead);
  cbMinBitRate->setCurrentIndex(cbMinBitRate->findText(QString("%1 kbit/s").arg(d.BitRate, 3)));
  cbMaxBitRate->setCurrentIndex(cbMaxBitRate->findText(QString("%1 kbit/s").arg(d.MaxBitRate, 3)));
  Select(cbVBRQuality, d.VBRQuality);
  Select(cbStereoMode, d.StereoMode);
  tbMP3Cpu->setValue(d.CPU);
  cbWriteID3v2->setChecked(d.WriteID3v2);
}

void TfrmOptions::bWMADefaultClick() {
  const TSettings d = DefaultSettings();
  Select(lbCodecs, d.CodecIndex);
  {
    const QSignalBlocker quiet(cbWMA_VBR);
    cbWMA_VBR->setChecked(d.VBR);
  }
  FillFormats();
  SelectFormat(d.FormatIndex);
}

}  // namespace tonvale::gui
