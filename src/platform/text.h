#pragma once
// Conversions between the text forms the program uses: 8-bit text is UTF-8,
// wide text is UTF-16, and 8-bit text inside tag files is ISO-8859-1.

#include <string>
#include <string_view>

namespace tonvale {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view Text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view Text);
// Characters outside Latin-1 (and invalid sequences) become '?'.
std::string Utf8ToLatin1(std::string_view Text);
std::string Latin1ToUtf8(std::string_view Text);
std::u16string Latin1ToUtf16(std::string_view Text);
// Windows-1252 (Latin-1 with curly quotes, dashes, the euro sign and more
// in 0x80 to 0x9F; its five unused bytes kept as those code points).
std::u16string Windows1252ToUtf16(std::string_view Text);
// Characters outside Latin-1 become '?'.
std::string Utf16ToLatin1(std::u16string_view Text);

// Number of characters (code points) of UTF-8 text.
size_t Utf8Length(std::string_view Text);
// Whether Text is well-formed UTF-8.
bool IsUtf8(std::string_view Text);
// The first Count characters of UTF-8 text.
std::string Utf8Left(std::string_view Text, size_t Count);

// The system's text for an errno value; safe on any thread (strerror is not).
std::string ErrorText(int Error);

}  // namespace tonvale
