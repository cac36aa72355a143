// Target-printer recognition and printer order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/printer_order.h"

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
  EXPECT_EQ(to_upper_full("\u1E9A"), "A\u02BE");
  EXPECT_EQ(to_upper_full("straße ﬃ"), "STRASSE FFI");
  EXPECT_EQ(to_upper_full("ǆemal ſ ı"), "ǄEMAL S I");
  EXPECT_EQ(to_upper_full("\U00010428"), "\U00010400");  // Deseret, beyond the BMP
  // Malformed bytes pass through; the words around them are still found.
  EXPECT_EQ(to_upper_full("a\xFF\xC3z"), "A\xFF\xC3Z");
  EXPECT_TRUE(is_target_printer("\xFFzeko\xC0"));
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
