#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sv::text {
namespace {

TEST(Utf8, ValidityFollowsTheStandard) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain ascii", true},
      {"请求格式不对：", true},
      {"\xF0\x9F\x98\x80", true},  // U+1F600
      {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
      {"\xED\x9F\xBF", true},      // U+D7FF
      {"\xEE\x80\x80", true},      // U+E000
      {std::string("\0", 1), true},
      {"\x80", false},              // lone continuation
      {"\xC3", false},              // truncated
      {"\xE4\xBD", false},          // truncated
      {"\xC0\xAF", false},          // overlong "/"
      {"\xC1\xBF", false},          // overlong
      {"\xE0\x80\xAF", false},      // overlong
      {"\xF0\x80\x80\xAF", false},  // overlong
      {"\xED\xA0\x80", false},      // surrogate U+D800
      {"\xED\xBF\xBF", false},      // surrogate U+DFFF
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
      {"a\xC3(", false},                // bad continuation
      {"\xE4\xBD\xA0\xE5\xA5", false},  // valid then truncated
  };
  for (const Case& c : cases)
    EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(Utf8, DecodesScalarsAndRefusesMalformedSequences) {
  struct Case {
    std::string bytes;
    std::size_t length;
    char32_t value;
  };
  const Case cases[] = {
      {"A", 1, U'A'},
      {"\xC3\xA9", 2, 0xE9},
      {"\xE6\xA0\x87", 3, 0x6807},
      {"\xF0\x9F\x96\xA8", 4, 0x1F5A8},
      {"\xC3", 0, 0},              // truncated
      {"\xC0\xAF", 0, 0},          // overlong
      {"\xED\xA0\x80", 0, 0},      // surrogate
      {"\xF4\x90\x80\x80", 0, 0},  // above U+10FFFF
      {"\xE6\x41\x87", 0, 0},      // bad continuation
  };
  for (const Case& c : cases) {
    char32_t out = 0;
    EXPECT_EQ(decode_utf8(c.bytes, 0, out), c.length) << testing::PrintToString(c.bytes);
    if (c.length != 0) {
      EXPECT_EQ(out, c.value) << testing::PrintToString(c.bytes);
    }
  }
  std::string round_trip;
  for (char32_t c : {U'A', char32_t(0xE9), char32_t(0x6807), char32_t(0x1F5A8)}) {
    append_utf8(round_trip, c);
  }
  EXPECT_EQ(round_trip, "A\u00E9\u6807\U0001F5A8");
}

TEST(Utf8, WhiteSpaceIsTheUnicodeProperty) {
  const char32_t yes[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                          0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (char32_t c : yes)
    EXPECT_TRUE(is_unicode_whitespace(c)) << std::hex << static_cast<unsigned>(c);
  // Zero-width space, BOM, mongolian vowel separator and the controls around the set are not.
  const char32_t no[] = {0x00,   0x08,   0x0E,   0x1F,   0x21,   0x84,   0x86,  0x180E,
                         0x200B, 0x2027, 0x202A, 0x205E, 0x2060, 0x3001, 0xFEFF};
  for (char32_t c : no)
    EXPECT_FALSE(is_unicode_whitespace(c)) << std::hex << static_cast<unsigned>(c);
}

TEST(Utf8, TrimBothEnds) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"   ", ""},
      {" a ", "a"},
      {"\t\r\n a b \x0B\x0C", "a b"},
      {"\u3000标签\u3000", "标签"},
      {"\u00a0\u2028x\u2029\u202f", "x"},
      {"\u200bx\u200b", "\u200bx\u200b"},  // zero-width space stays
      {"标", "标"},
      {"a\u3000", "a"},
      {" \xFF ", "\xFF"},  // a malformed byte is kept as a character that is not white space
      {"\xE3\x80 x", "\xE3\x80 x"},  // a cut U+3000 is not white space either
  };
  for (const Case& c : cases) EXPECT_EQ(trim_unicode_whitespace(c.in), c.out) << c.in;
}

TEST(Utf8, SplitDropsEmptyPieces) {
  struct Case {
    std::string in;
    std::vector<std::string_view> out;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {" \t\r\n", {}},
      {"a", {"a"}},
      {"  a  b\t\tc\r\n", {"a", "b", "c"}},
      {"打印\u3000标签\u0085x", {"打印", "标签", "x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_unicode_whitespace(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace sv::text
