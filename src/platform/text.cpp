#include "platform/text.h"

#include <string.h>

#include <utf8cpp/utf8.h>

namespace tonvale {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Calls Out(code point) for every character of UTF-8 text; invalid bytes give U+FFFD.
template <typename F>
void ForEachCodePoint(std::string_view Text, F Out) {
  auto it = Text.begin();
  const auto end = Text.end();
  while (it != end) {
    auto start = it;
    try {
      Out(static_cast<char32_t>(utf8::next(it, end)));
    } catch (const utf8::exception&) {
      it = start + 1;
      Out(kReplacement);
    }
  }
}

template <typename F>
void ForEachCodePoint(std::u16string_view Text, F Out) {
  for (size_t i = 0; i < Text.size(); ++i) {
    char32_t c = Text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (Text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    Out(c);
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view Text) {
  std::u16string out;
  out.reserve(Text.size());
  ForEachCodePoint(Text, [&](char32_t c) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  });
  return out;
}

std::string Utf16ToUtf8(std::u16string_view Text) {
  std::string out;
  out.reserve(Text.size());
  ForEachCodePoint(Text, [&](char32_t c) { utf8::append(c, std::back_inserter(out)); });
  return out;
}

std::string Utf8ToLatin1(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  ForEachCodePoint(Text, [&](char32_t c) { out.push_back(c <= 0xFF ? static_cast<char>(c) : '?'); });
  return out;
}

std::string Latin1ToUtf8(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (unsigned char c : Text) utf8::append(static_cast<char32_t>(c), std::back_inserter(out));
  return out;
}

std::u16string Latin1ToUtf16(std::string_view Text) {
  std::u16string out;
  out.reserve(Text.size());
  for (unsigned char c : Text) out.push_back(c);
  return out;
}

std::u16string Windows1252ToUtf16(std::string_view Text) {
  static const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                     0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::u16string out;
  out.reserve(Text.size());
  for (unsigned char c : Text) out.push_back(c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
  return out;
}

std::string Utf16ToLatin1(std::u16string_view Text) {
  std::string out;
  out.reserve(Text.size());
  ForEachCodePoint(Text, [&](char32_t c) { out.push_back(c <= 0xFF ? static_cast<char>(c) : '?'); });
  return out;
}

size_t Utf8Length(std::string_view Text) {
  size_t n = 0;
  ForEachCodePoint(Text, [&](char32_t) { ++n; });
  return n;
}

std::string Utf8Left(std::string_view Text, size_t Count) {
  std::string out;
  size_t n = 0;
  ForEachCodePoint(Text, [&](char32_t c) {
    if (n++ < Count) utf8::append(c, std::back_inserter(out));
  });
  return out;
}

bool IsUtf8(std::string_view Text) { return utf8::is_valid(Text.begin(), Text.end()); }

std::string ErrorText(int Error) {
  char buffer[256];
  // The GNU strerror_r: returns the text, in the buffer or a static one.
  return ::strerror_r(Error, buffer, sizeof buffer);
}

}  // namespace tonvale
