#include "gui/skin/skin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace tonvale::gui {
namespace {

struct TTheme {
  const char* Name;
  QColor Window, Text, Base, Button, ButtonText, Highlight, Accent;
};

const TTheme kThemes[] = {
    {"Light", QColor(240, 243, 247), QColor(25, 30, 40), QColor(255, 255, 255), QColor(226, 232, 240),
     QColor(25, 30, 40), QColor(40, 120, 200), QColor(24, 120, 140)},
    {"Dark", QColor(34, 37, 43), QColor(230, 233, 238), QColor(24, 26, 31), QColor(52, 57, 66), QColor(230, 233, 238),
     QColor(60, 140, 220), QColor(90, 200, 215)},
    {"Ocean", QColor(220, 236, 242), QColor(12, 40, 60), QColor(248, 252, 253), QColor(190, 222, 232),
     QColor(12, 40, 60), QColor(18, 110, 150), QColor(18, 110, 150)},
    {"Amber", QColor(250, 240, 224), QColor(60, 35, 10), QColor(255, 251, 244), QColor(240, 214, 170),
     QColor(60, 35, 10), QColor(200, 120, 20), QColor(190, 100, 10)},
};

const TTheme* gCurrent = &kThemes[0];

const TTheme* Find(const QString& Name) {
  for (const TTheme& t : kThemes)
    if (Name.compare(t.Name, Qt::CaseInsensitive) == 0) return &t;
  return nullptr;
}

// Rounded, softly shaded push buttons and a focus ring in the accent
// colour over Qt's Fusion style.
class TSkinStyle : public QProxyStyle {
 public:
  TSkinStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

  void drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                     const QWidget* Widget) const override {
    if (Element == PE_PanelButtonCommand) {
      const bool down = Option->state & (State_Sunken | State_On);
      const bool hover = Option->state & State_MouseOver;
      const bool enabled = Option->state & State_Enabled;
      QColor face = Option->palette.color(QPalette::Button);
      if (hover && enabled) face = face.lighter(108);
      if (down) face = face.darker(112);
      QRectF r = QRectF(Option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
      QPainterPath path;
      path.addRoundedRect(r, 4, 4);
      QLinearGradient g(r.topLeft(), r.bottomLeft());
      g.setColorAt(0, face.lighter(106));
      g.setColorAt(1, face.darker(104));
      Painter->save();
      Painter->setRenderHint(QPainter::Antialiasing);
      Painter->fillPath(path, g);
      Painter->setPen(QPen((Option->state & State_HasFocus) ? gCurrent->Accent : face.darker(135), 1));
      Painter->drawPath(path);
      Painter->restore();
      return;
    }
    if (Element == PE_FrameFocusRect) {
      // Where the keyboard is: a ring in the accent, which shows on every
      // theme's window (the standard one is faint on a dark one).
      // Buttons show it on their own edge instead.
      const bool button = qobject_cast<const QAbstractButton*>(Widget) && !qobject_cast<const QCheckBox*>(Widget) &&
                          !qobject_cast<const QRadioButton*>(Widget);
      if (!(Option->state & State_KeyboardFocusChange) || button) return;
      Ring(QRectF(Option->rect).adjusted(0.5, 0.5, -0.5, -0.5), Painter, 1.2);
      return;
    }
    if (Element == PE_Frame && (Option->state & State_HasFocus) && qobject_cast<const QAbstractItemView*>(Widget)) {
      // A list with the focus: its frame in the accent.
      QProxyStyle::drawPrimitive(Element, Option, Painter, Widget);
      Ring(QRectF(Option->rect).adjusted(1, 1, -1, -1), Painter, 2);
      return;
    }
    if (Element == PE_IndicatorRadioButton || Element == PE_IndicatorCheckBox) {
      DrawIndicator(Element == PE_IndicatorRadioButton, Option, Painter, Widget);
      return;
    }
    QProxyStyle::drawPrimitive(Element, Option, Painter, Widget);
  }

  void drawControl(ControlElement Element, const QStyleOption* Option, QPainter* Painter,
                   const QWidget* Widget) const override {
    QProxyStyle::drawControl(Element, Option, Painter, Widget);
    // The current tab of a tab bar with the focus.
    if (Element == CE_TabBarTabLabel && (Option->state & State_HasFocus))
      Ring(QRectF(Option->rect).adjusted(3.5, 3.5, -3.5, -2.5), Painter, 1.2);
  }

  void drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option, QPainter* Painter,
                          const QWidget* Widget) const override {
    QProxyStyle::drawComplexControl(Control, Option, Painter, Widget);
    // A slider with the focus: a ring around it all, not only a brighter
    // handle.
    if (Control == CC_Slider && (Option->state & State_HasFocus))
      Ring(QRectF(Option->rect).adjusted(0.5, 0.5, -0.5, -0.5), Painter, 1.2);
  }

 private:
  static void Ring(const QRectF& Where, QPainter* Painter, double Width) {
    Painter->save();
    Painter->setRenderHint(QPainter::Antialiasing);
    Painter->setPen(QPen(gCurrent->Accent, Width));
    Painter->setBrush(Qt::NoBrush);
    Painter->drawRoundedRect(Where, 3, 3);
    Painter->restore();
  }

  // A hollow ring or box when off, filled in the accent with a dot or a
  // tick when on, in every theme: a dark field alone reads as filled.
  void DrawIndicator(bool Radio, const QStyleOption* Option, QPainter* Painter, const QWidget*) const {
    const bool on = Option->state & (State_On | State_NoChange);
    const bool enabled = Option->state & State_Enabled;
    const QPalette& p = Option->palette;
    const QColor text = p.color(QPalette::WindowText), window = p.color(QPalette::Window);
    // Off, the inside is the field's colour where it is lighter than the
    // window, else what is behind.
    QColor fill = p.color(QPalette::Base).lightness() > window.lightness() ? p.color(QPalette::Base) : Qt::transparent;
    // Disabled, text is already muted: the edge is as plain as the caption.
    QColor edge = Mix(text, window, enabled ? 0.6 : 0.9);
    if (on) {
      fill = enabled ? gCurrent->Accent : Mix(text, window, 0.35);
      edge = fill.darker(120);
    }
    const QColor mark = fill.lightness() >= 140 ? QColor(20, 24, 30) : QColor(Qt::white);
    const QRectF r = QRectF(Option->rect).adjusted(1.5, 1.5, -1.5, -1.5);
    Painter->save();
    Painter->setRenderHint(QPainter::Antialiasing);
    Painter->setPen(QPen(edge, 1.2));
    Painter->setBrush(fill);
    if (Radio) {
      Painter->drawEllipse(r);
      if (on) {
        Painter->setPen(Qt::NoPen);
        Painter->setBrush(mark);
        Painter->drawEllipse(r.center(), r.width() * 0.2, r.width() * 0.2);
      }
    } else {
      Painter->drawRoundedRect(r, 2, 2);
      if (Option->state & State_NoChange) {
        Painter->setPen(QPen(mark, 1.6));
        Painter->drawLine(QPointF(r.left() + 3, r.center().y()), QPointF(r.right() - 3, r.center().y()));
      } else if (on) {
        Painter->setPen(QPen(mark, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const double w = r.width(), h = r.height();
        const QPointF tick[] = {{r.left() + w * 0.22, r.top() + h * 0.52},
                                {r.left() + w * 0.42, r.top() + h * 0.72},
                                {r.left() + w * 0.78, r.top() + h * 0.28}};
        Painter->drawPolyline(tick, 3);
      }
    }
    Painter->restore();
  }
  static QColor Mix(const QColor& A, const QColor& B, double Share) {
    return QColor::fromRgbF(static_cast<float>(A.redF() * Share + B.redF() * (1 - Share)),
                            static_cast<float>(A.greenF() * Share + B.greenF() * (1 - Share)),
                            static_cast<float>(A.blueF() * Share + B.blueF() * (1 - Share)));
  }
};

}  // namespace

QStringList ThemeNames() {
  QStringList names;
  for (const TTheme& t : kThemes) names << t.Name;
  return names;
}

QString EffectiveTheme(const QString& Stored) {
  if (const TTheme* t = Find(Stored)) return t->Name;
  // The desktop's scheme, as the palette the application started with shows it.
  static const bool dark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
  return dark ? "Dark" : "Light";
}

void ApplyTheme(const QString& Stored) {
  gCurrent = Find(EffectiveTheme(Stored));
  if (QApplication::style()->objectName() != "tonvale") {
    auto* style = new TSkinStyle;
    style->setObjectName("tonvale");
    QApplication::setStyle(style);
  }
  const TTheme& t = *gCurrent;
  QPalette p;
  p.setColor(QPalette::Window, t.Window);
  p.setColor(QPalette::WindowText, t.Text);
  p.setColor(QPalette::Base, t.Base);
  p.setColor(QPalette::AlternateBase, t.Window);
  p.setColor(QPalette::Text, t.Text);
  p.setColor(QPalette::Button, t.Button);
  p.setColor(QPalette::ButtonText, t.ButtonText);
  p.setColor(QPalette::Highlight, t.Highlight);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, t.Accent);
  p.setColor(QPalette::ToolTipBase, t.Base);
  p.setColor(QPalette::ToolTipText, t.Text);
  const QColor muted =
      QColor::fromRgbF((t.Text.redF() + t.Window.redF()) / 2, (t.Text.greenF() + t.Window.greenF()) / 2,
                       (t.Text.blueF() + t.Window.blueF()) / 2);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, muted);
  QApplication::setPalette(p);
}

QColor AccentColor() { return gCurrent->Accent; }

}  // namespace tonvale::gui
