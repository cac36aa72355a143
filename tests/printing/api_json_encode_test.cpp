#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/api_json.h"

namespace sv::printing {
namespace {

TEST(JsonEncode, HealthReply) {
  EXPECT_EQ(encode_health(0), R"({"ok":true,"printers":0})");
  EXPECT_EQ(encode_health(12), R"({"ok":true,"printers":12})");
}

TEST(JsonEncode, PrintReplyMembersInOrder) {
  PrintReply reply{9744, 3, " Zeko 标签机 "};
  EXPECT_EQ(encode_print_reply(reply),
            R"({"bytes":9744,"elapsed_ms":3,"printer":" Zeko 标签机 "})");
  reply.bytes = 18446744073709551615u;
  reply.elapsed_ms = 0;
  EXPECT_EQ(encode_print_reply(reply).substr(0, 44),
            R"({"bytes":18446744073709551615,"elapsed_ms":0)");
}

TEST(JsonEncode, StringsEscapeOnlyWhatJsonRequires) {
  struct Case {
    std::string raw, escaped;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {"a\"b\\c/d", R"("a\"b\\c/d")"},
      {"\n\r\t\b\f", R"("\n\r\t\b\f")"},
      {std::string("\0\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
      {"\x7f", "\"\x7f\""},
      {"打印机 ＼ é 😀", "\"打印机 ＼ é 😀\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encode_print_reply({1, 2, c.raw}),
              R"({"bytes":1,"elapsed_ms":2,"printer":)" + c.escaped + "}");
  }
}

TEST(JsonEncode, PrinterList) {
  EXPECT_EQ(encode_printer_list({}), "[]");
  const std::vector<PrinterInfo> printers = {
      {"ZEKO Z1", true, true, "USB001", "ZEKO \"Label\""},
      {"Office", false, false, "", ""},
  };
  EXPECT_EQ(encode_printer_list(printers),
            R"([{"name":"ZEKO Z1","is_default":true,"is_zeko":true,"port":"USB001",)"
            R"("driver":"ZEKO \"Label\""},{"name":"Office","is_default":false,)"
            R"("is_zeko":false,"port":"","driver":""}])");
}

}  // namespace
}  // namespace sv::printing
