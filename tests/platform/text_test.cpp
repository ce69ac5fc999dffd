#include "platform/text.h"

#include <gtest/gtest.h>

using namespace tonvale;

TEST(Text, Utf8AndUtf16RoundTripEveryPlane) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5";  // a é € 🎵
  std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x20AC, 0xD83C, 0xDFB5}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf8Length(text), 4u);
  EXPECT_EQ(Utf8Left(text, 3), "a\xC3\xA9\xE2\x82\xAC");
}

TEST(Text, BrokenInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            (std::u16string{u'a', 0xFFFD, u'b'}));
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), (std::u16string{0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

TEST(Text, Latin1KeepsItsRangeAndReplacesTheRest) {
  EXPECT_EQ(Utf8ToLatin1("caf\xC3\xA9 \xE2\x82\xAC\xC3\xBF"), "caf\xE9 ?\xFF");
  EXPECT_EQ(Latin1ToUtf8("caf\xE9\xFF"), "caf\xC3\xA9\xC3\xBF");
  EXPECT_EQ(Latin1ToUtf16("\xE9"), std::u16string{0xE9});
  EXPECT_EQ(Utf16ToLatin1(std::u16string{u'A', 0xFF, 0x100, 0xD83C, 0xDFB5}), "A\xFF??");
}
