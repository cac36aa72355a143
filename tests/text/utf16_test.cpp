// The UTF-16 conversions behind the wide-character system calls.
#include "text/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace sv::text {
namespace {

TEST(Utf16, LenientConversionReplacesUnpairedSurrogates) {
  EXPECT_EQ(utf16_to_utf8_lenient(u"Zeko 标签 \U0001F5A8"), "Zeko 标签 \U0001F5A8");
  const std::u16string broken = {u'a', 0xD800, u'b', 0xDC00, 0xD83D};
  EXPECT_EQ(utf16_to_utf8_lenient(broken), "a\uFFFDb\uFFFD\uFFFD");
  EXPECT_FALSE(utf16_to_utf8_strict(broken).has_value());
  EXPECT_EQ(utf16_to_utf8_strict(u"ok \u00E9"), "ok \u00E9");
}

TEST(Utf16, Utf8ToUtf16KeepsNulAndReplacesMalformedBytes) {
  EXPECT_EQ(utf8_to_utf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(utf8_to_utf16("\U0001F5A8"), u"\U0001F5A8");
  // A stray continuation byte, a surrogate in UTF-8 form and an overlong "/".
  EXPECT_EQ(utf8_to_utf16("x\x80y\xED\xA0\x80z\xC0\xAF"),
            u"x\uFFFDy\uFFFD\uFFFD\uFFFDz\uFFFD\uFFFD");
  EXPECT_EQ(up_to_nul(std::u16string_view(u"name\0rest", 9)), u"name");
}

}  // namespace
}  // namespace sv::text
