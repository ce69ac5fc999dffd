#pragma once
// Tonvale's look: a style over Qt's standard widgets (they stay real
// buttons, check boxes and combo boxes) with built-in colour themes.

#include <QColor>
#include <QString>
#include <QStringList>

namespace tonvale::gui {

// The built-in themes, by name.
QStringList ThemeNames();
// The theme a stored choice means: the choice itself when it names a theme,
// otherwise (an empty choice) the one matching the desktop's light or dark
// scheme.
QString EffectiveTheme(const QString& Stored);
// Installs the style and the palette of a stored choice on the application.
void ApplyTheme(const QString& Stored);
// The theme's accent: section lines, links, the progress bar.
QColor AccentColor();

}  // namespace tonvale::gui
