#pragma once
// Windows laid out at fixed positions keep their sizes while every text fits
// them, and grow with a larger font: every control and the window by the one
// ratio that makes the tightest text fit.

#include <QListWidget>
#include <QWidget>

namespace tonvale::gui {

// How much Window would have to grow for its texts to fit: 1 when they do.
// A text fits when it is no wider than its control and does not run under
// the next control to its right.
double GrowthForText(const QWidget* Window);
// The width that shows List's longest entry whole, with its frame and
// scroll bar.
int ListWidthFor(const QListWidget* List);
// Grows Window (of a fixed size) and the controls placed on it, in group
// boxes and on tab pages, by GrowthForText, or by AtLeast where the window
// knows of more that needs room.
void GrowToFitText(QWidget* Window, double AtLeast = 1);

}  // namespace tonvale::gui
