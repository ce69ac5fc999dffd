#pragma once
// Text for a terminal: names with their control characters shown escaped
// (as ls shows them), so that a file name cannot move the cursor or change
// colours, and lines cut to the terminal's width.

#include <string>

namespace tonvale {

// Control characters (C0, DEL and C1) as C escapes: \n, \t, \x1b and so on;
// the rest, also bytes that are not UTF-8, as they are.
std::string EscapeControls(const std::string& Text);
// The columns Text takes (wide East Asian letters count two).
int DisplayWidth(const std::string& Text);
// Text cut to at most Columns columns, on a letter's boundary.
std::string CutToWidth(const std::string& Text, int Columns);

}  // namespace tonvale
