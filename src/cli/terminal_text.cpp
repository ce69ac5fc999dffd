#include "cli/terminal_text.h"

#include <cstdint>
#include <cstdio>

#include <utf8cpp/utf8.h>

namespace tonvale {
namespace {

// The length of the UTF-8 sequence that starts at I, and its code point;
// a byte that does not start a valid sequence counts as one letter of its
// own (U+FFFD), as the JSON output reads it.
size_t NextLetter(const std::string& Text, size_t I, uint32_t& Code) {
  auto it = Text.begin() + static_cast<std::ptrdiff_t>(I);
  try {
    Code = utf8::next(it, Text.end());
    return static_cast<size_t>(it - Text.begin()) - I;
  } catch (const utf8::exception&) {
    Code = 0xFFFD;
    return 1;
  }
}

bool Wide(uint32_t C) {
  return (C >= 0x1100 && C <= 0x115F) || (C >= 0x2E80 && C <= 0xA4CF) || (C >= 0xAC00 && C <= 0xD7A3) ||
         (C >= 0xF900 && C <= 0xFAFF) || (C >= 0xFE30 && C <= 0xFE4F) || (C >= 0xFF00 && C <= 0xFF60) ||
         (C >= 0xFFE0 && C <= 0xFFE6) || (C >= 0x1F300 && C <= 0x1F64F) || (C >= 0x20000 && C <= 0x3FFFD);
}

}  // namespace

std::string EscapeControls(const std::string& Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size();) {
    uint32_t code = 0;
    const size_t n = NextLetter(Text, i, code);
    if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F && n == 2)) {
      static const char kNamed[] = "abtnvfr";
      if (code >= 7 && code <= 13) {
        out += '\\';
        out += kNamed[code - 7];
      } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(code));
        out += hex;
      }
    } else {
      out.append(Text, i, n);
    }
    i += n;
  }
  return out;
}

int DisplayWidth(const std::string& Text) {
  int width = 0;
  for (size_t i = 0; i < Text.size();) {
    uint32_t code = 0;
    i += NextLetter(Text, i, code);
    width += Wide(code) ? 2 : 1;
  }
  return width;
}

std::string CutToWidth(const std::string& Text, int Columns) {
  int width = 0;
  for (size_t i = 0; i < Text.size();) {
    uint32_t code = 0;
    const size_t n = NextLetter(Text, i, code);
    width += Wide(code) ? 2 : 1;
    if (width > Columns) return Text.substr(0, i);
    i += n;
  }
  return Text;
}

}  // namespace tonvale
