#include "gui/frm_about.h"

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "gui/text_fit.h"
#include "gui/widgets.h"
#include "gui/links.h"
#include "gui/pictures.h"
#include "platform/build_id.h"

namespace tonvale::gui {

TfrmAbout::TfrmAbout(QWidget* Owner) : QDialog(Owner) {
  setObjectName("frmAbout");
  setWindowTitle("About Tonvale");
  setFixedSize(360, 255);
  auto text = [this](const QString& Name, const QString& Text, int X, int Y) {
    auto* l = new QLabel(this);
    l->setObjectName(Name);
    l->setTextFormat(Qt::PlainText);
    l->setText(Text);
    l->move(X, Y);
    l->adjustSize();
    return l;
  };
  auto* banner = new QLabel(this);
  banner->setObjectName("Image1");
  banner->setGeometry(0, 0, 360, 70);
  banner->setScaledContents(true);
  banner->setPixmap(Picture("banner"));
  auto* icon = new QLabel(this);
  icon->setObjectName("Image2");
  icon->setGeometry(16, 80, 48, 48);
  icon->setScaledContents(true);
  icon->setPixmap(Picture("icon"));
  lName = text("lName", "Tonvale", 76, 80);
  QFont bold = lName->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 3);
  lName->setFont(bold);
  lName->adjustSize();
  text("lVersion", QString("Version %1, build %2").arg(ProgramVersion(), ProgramBuild()), 76, 104);
  text("lSupport", QString("Support: %1").arg(kSupportMail), 76, 122);
  text("lDonate1", "If you like it, please feel free to donate, any donations", 16, 142);
  text("lDonate2", "large or small are greatly appreciated.", 16, 160);
  // The picture (88x31) inside the 2-pixel ring's room on every side.
  Image3 = Place<QLabel>(this, "Image3", {14, 180, 92, 35});
  Image3->setAlignment(Qt::AlignCenter);
  Image3->setPixmap(Picture("donate"));
  Image3->setCursor(Qt::PointingHandCursor);
  Image3->setToolTip("Donate");
  Image3->setAccessibleName("Donate");
  Image3->setFocusPolicy(Qt::StrongFocus);  // Tab reaches it; Space or Enter presses it
  Image3->installEventFilter(this);
  // A ring where the keyboard is, drawn by the style sheet around the picture.
  Image3->setStyleSheet(
      "QLabel#Image3 { border: 2px solid transparent; }"
      "QLabel#Image3:focus { border: 2px solid palette(highlight); border-radius: 3px; }");
  auto* line = new QFrame(this);
  line->setObjectName("Bevel1");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(8, 220, 344, 2);
  auto* link = new QLabel(this);
  link->setObjectName("lbEAddress");
  link->setTextFormat(Qt::RichText);
  // The theme's link colour: readable on light and dark windows alike.
  link->setText(QString("<a href=\"%1\" style=\"color:%2; text-decoration: underline\">%3</a>")
                    .arg(kHomePage, palette().color(QPalette::Link).name(), kMakerAddress));
  link->setCursor(Qt::PointingHandCursor);
  link->move(16, 229);
  link->adjustSize();
  connect(link, &QLabel::linkActivated, this, [this] { lbEAddressClick(); });
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("bOK");
  ok->setGeometry(272, 225, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  // Enter presses OK: it has the first focus, then the donate picture.
  setTabOrder(ok, Image3);
  GrowToFitText(this);
}

void TfrmAbout::showEvent(QShowEvent* Event) {
  lName->setText("Tonvale");
  QDialog::showEvent(Event);
  findChild<QPushButton*>("bOK")->setFocus();
}

bool TfrmAbout::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == Image3 && Event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
    Image3Click();
    return true;
  }
  if (Watched == Image3 && Event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
      Image3Click();
      return true;
    }
  }
  return QDialog::eventFilter(Watched, Event);
}

void TfrmAbout::lbEAddressClick() { QDesktopServices::openUrl(QUrl(kHomePage)); }
void TfrmAbout::Image3Click() { QDesktopServices::openUrl(QUrl(kDonatePage)); }

}  // namespace tonvale::gui
