// Target-printer recognition and printer order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "printing/printer_order.h"
#include "text/utf8.h"

namespace sv::printing {
namespace {

TEST(SpoolerTargetPrinter, MatchesTargetWordsInAnyCaseAnywhere) {
  EXPECT_TRUE(is_target_printer("ZEKO"));
  EXPECT_TRUE(is_target_printer("Office zeko-LP300 (USB)"));
  EXPECT_TRUE(is_target_printer("label MorVa"));
  EXPECT_TRUE(is_target_printer("qx5"));
  EXPECT_TRUE(is_target_printer("仓库QX5标签机"));
  EXPECT_FALSE(is_target_printer("ZEK O"));
  EXPECT_FALSE(is_target_printer("MORV"));
  EXPECT_FALSE(is_target_printer("QX 5"));
  EXPECT_FALSE(is_target_printer(""));
  // Fullwidth letters upper-case to fullwidth capitals, which are not the ASCII words.
  EXPECT_FALSE(is_target_printer("ｚｅｋｏ"));
}

TEST(SpoolerTargetPrinter, UsesFullCaseMappingWithSpecialCasings) {
  // U+1E9A has no simple upper case; its full upper case is "A" + U+02BE.
  EXPECT_TRUE(is_target_printer("morv\u1E9A 200"));
  // "ö" upper-cases to "Ö", never to "O".
  EXPECT_FALSE(is_target_printer("zek\u00F6"));
  // Malformed bytes pass through; the words around them are still found.
  EXPECT_EQ(fold_for_target_marks("a\xFF\xC3z"), "A\xFF\xC3Z");
  EXPECT_TRUE(is_target_printer("\xFFzeko\xC0"));
}

// The full upper case of every code point, from Debian's unicode-data: the simple mappings of
// UnicodeData.txt overridden by the unconditional entries of SpecialCasing.txt.
std::map<char32_t, std::u32string> full_upper_case(const std::string& dir) {
  std::map<char32_t, std::u32string> upper;
  const auto hex = [](const std::string& s) {
    return static_cast<char32_t>(std::stoul(s, nullptr, 16));
  };
  const auto split = [](const std::string& line, char sep) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, sep);) fields.push_back(f);
    return fields;
  };
  std::ifstream data(dir + "/UnicodeData.txt");
  for (std::string line; std::getline(data, line);) {
    const auto f = split(line, ';');
    if (f.size() >= 13 && !f[12].empty()) upper[hex(f[0])] = std::u32string(1, hex(f[12]));
  }
  std::ifstream special(dir + "/SpecialCasing.txt");
  for (std::string line; std::getline(special, line);) {
    line = line.substr(0, line.find('#'));
    auto f = split(line, ';');
    if (f.size() < 4 || (f.size() > 4 && f[4].find_first_not_of(' ') != std::string::npos))
      continue;  // language- or context-dependent
    std::u32string to;
    std::stringstream codes(f[3]);
    for (std::string c; codes >> c;) to.push_back(hex(c));
    upper[hex(f[0])] = to;
  }
  return upper;
}

// What the mark search sees of some text: the marks' letters and digits, and any run of other
// characters as one separator.
std::string mark_view(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    const bool mark = c < 0x80 && std::string_view("ZEKOMRVAQX5").find(static_cast<char>(c)) !=
                                      std::string_view::npos;
    if (mark)
      out.push_back(static_cast<char>(c));
    else if (out.empty() || out.back() != '-')
      out.push_back('-');
  }
  return out;
}

// Equal views for every single code point mean equal answers for every name, since a name's
// view is the views of its characters joined.
TEST(SpoolerTargetPrinter, FoldAgreesWithTheFullUpperCaseOnEveryCodePoint) {
  const char* dir = std::getenv("SORVENDALE_UNICODE_DATA");
  const auto upper = full_upper_case(dir ? dir : "/usr/share/unicode");
  ASSERT_GT(upper.size(), 1000u) << "Unicode data not found (Debian package unicode-data)";
  std::size_t checked = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto it = upper.find(c);
    const std::u32string full = it == upper.end() ? std::u32string(1, c) : it->second;
    std::string utf8;
    text::append_utf8(utf8, c);
    const std::string folded_utf8 = fold_for_target_marks(utf8);
    std::u32string folded;
    for (std::size_t i = 0; i < folded_utf8.size();) {
      char32_t d = 0;
      const std::size_t len = text::decode_utf8(folded_utf8, i, d);
      ASSERT_GT(len, 0u);
      folded.push_back(d);
      i += len;
    }
    ASSERT_EQ(mark_view(folded), mark_view(full)) << "U+" << std::hex << static_cast<unsigned>(c);
    ++checked;
  }
  EXPECT_EQ(checked, 0x110000u - 0x800u);
}

PrinterInfo entry(std::string name, bool is_default = false, std::string port = "") {
  PrinterInfo p;
  p.name = std::move(name);
  p.is_default = is_default;
  p.is_zeko = is_target_printer(p.name);
  p.port = std::move(port);
  return p;
}

std::vector<std::string> names(const std::vector<PrinterInfo>& list) {
  std::vector<std::string> out;
  for (const auto& p : list) out.push_back(p.name);
  return out;
}

TEST(SpoolerPrinterOrder, TargetsThenDefaultThenBytes) {
  std::vector<PrinterInfo> list = {
      entry("A2"),  entry("Office", true), entry("ZEKO b"), entry("ABC"),
      entry("A10"), entry("zeko A", true), entry("AB"),     entry("é"),
      entry("Z"),   entry("QX5 late")};
  sort_printers(list);
  EXPECT_EQ(names(list), (std::vector<std::string>{"zeko A", "QX5 late", "ZEKO b", "Office", "A10",
                                                   "A2", "AB", "ABC", "Z", "é"}));
}

TEST(SpoolerPrinterOrder, EqualNamesKeepSpoolerOrder) {
  std::vector<PrinterInfo> list = {entry("B", false, "first"), entry("A"),
                                   entry("B", false, "second")};
  sort_printers(list);
  ASSERT_EQ(names(list), (std::vector<std::string>{"A", "B", "B"}));
  EXPECT_EQ(list[1].port, "first");
  EXPECT_EQ(list[2].port, "second");
}

}  // namespace
}  // namespace sv::printing
