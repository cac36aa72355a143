#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "printing/api_json.h"
#include "printing/body_fixture.h"

namespace sv::printing {
namespace {

using testing::body_of;
using testing::body_with;
using testing::body_without;
using testing::valid_members;

// The description without its " at line L column C" tail.
std::string description(const std::string& error) {
  const auto at = error.rfind(" at line ");
  return at == std::string::npos ? error : error.substr(0, at);
}

std::string fault_of(const std::string& body) {
  auto r = decode_print_body(body);
  return r ? std::string("<accepted>") : r.error();
}

TEST(JsonDecode, ValidBodyFillsEveryMember) {
  const std::string body = body_of({
      {"printer", R"(" Zeko 打印机 ")"},
      {"width_mm", "40.5"},
      {"height_mm", "30"},
      {"width_dots", "320"},
      {"height_dots", "240"},
      {"gap_mm", "2.25"},
      {"density", "255"},
      {"speed", "0"},
      {"copies", "4294967295"},
      {"offset_x_dots", "-2147483648"},
      {"offset_y_dots", "2147483647"},
      {"tear", "true"},
      {"data_b64", R"("QUJD")"},
      {"dry_run", "false"},
  });
  auto r = decode_print_body(body);
  ASSERT_TRUE(r) << r.error();
  const PrintRequest& q = r.value();
  EXPECT_EQ(q.printer, " Zeko 打印机 ");
  EXPECT_EQ(q.width_mm, 40.5);
  EXPECT_EQ(q.height_mm, 30.0);
  EXPECT_EQ(q.width_dots, 320u);
  EXPECT_EQ(q.height_dots, 240u);
  EXPECT_EQ(q.gap_mm, 2.25);
  EXPECT_EQ(q.density, 255);
  EXPECT_EQ(q.speed, 0);
  EXPECT_EQ(q.copies, 4294967295u);
  EXPECT_EQ(q.offset_x_dots, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(q.offset_y_dots, std::numeric_limits<std::int32_t>::max());
  EXPECT_TRUE(q.tear);
  EXPECT_EQ(data_b64_text(q), "QUJD");
  EXPECT_FALSE(q.dry_run);
}

TEST(JsonDecode, AcceptedVariants) {
  const std::string skipped_value = R"({"a":[1,2.5e3,{"b":null}],"c":"\u00e9\n","d":true})";
  const std::string cases[] = {
      body_without({"offset_x_dots", "offset_y_dots", "dry_run"}),
      body_with("width_mm", "4e1"),
      body_with("gap_mm", "-0"),
      body_with("density", "-0"),
      body_with("Printer", "null"),  // unknown key: any well-formed value
      body_with("extra", skipped_value),
      " \t\r\n" + body_with("copies", "1") + " \t\r\n",
      "{\"x\":" + skipped_value + ",\"request\":" + testing::object_of(valid_members()) +
          ",\"y\":[]}",
      // Keys compare after unescaping.
      body_without({"printer"}).insert(12, R"("pr\u0069nter":"P",)"),
  };
  for (const std::string& body : cases) {
    auto r = decode_print_body(body);
    EXPECT_TRUE(r) << body << "\n" << (r ? "" : r.error());
  }
}

TEST(JsonDecode, DefaultsAndWidening) {
  auto r = decode_print_body(body_without({"offset_x_dots", "offset_y_dots", "dry_run"}));
  ASSERT_TRUE(r) << r.error();
  EXPECT_EQ(r.value().offset_x_dots, 0);
  EXPECT_EQ(r.value().offset_y_dots, 0);
  EXPECT_FALSE(r.value().dry_run);

  auto w = decode_print_body(body_with("width_mm", "40"));
  ASSERT_TRUE(w);
  EXPECT_EQ(w.value().width_mm, 40.0);
}

TEST(JsonDecode, FloatsAreTheNearestDouble) {
  // Decimal texts whose nearest doubles sit next to a rounding tie of the TSPL formatting.
  for (const char* text : {"2.675", "40.125", "0.30000000000000004", "1.0000000000000002",
                           "123456.78901234567", "9007199254740993"}) {
    auto r = decode_print_body(body_with("width_mm", text));
    ASSERT_TRUE(r) << text;
    EXPECT_EQ(r.value().width_mm, std::stod(text)) << text;
  }
}

TEST(JsonDecode, MissingFieldsInTableOrder) {
  struct Case {
    std::vector<std::string> dropped;
    std::string expected;
  };
  const Case cases[] = {
      {{"tear"}, "missing field `tear`"},
      {{"printer", "copies"}, "missing field `printer`"},
      {{"copies", "printer"}, "missing field `printer`"},
      {{"data_b64", "tear"}, "missing field `tear`"},
      {{"width_mm"}, "missing field `width_mm`"},
      {{"height_dots", "speed", "data_b64"}, "missing field `height_dots`"},
      {{"data_b64"}, "missing field `data_b64`"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(description(fault_of(body_without(c.dropped))), c.expected) << c.expected;
  }
  EXPECT_EQ(description(fault_of("{}")), "missing field `request`");
  EXPECT_EQ(description(fault_of(R"({"Request":{}})")), "missing field `request`");
  // A capitalised key is another member, skipped.
  auto members = valid_members();
  members[0].key = "Printer";
  EXPECT_EQ(description(fault_of(body_of(members))), "missing field `printer`");
}

TEST(JsonDecode, DuplicateFieldAtSecondOccurrence) {
  // Refused where the second key stands, before the object's missing keys are looked for.
  const std::string copies_twice = R"({"request":{"copies":1,"copies":2}})";
  EXPECT_EQ(fault_of(copies_twice), "duplicate field `copies` at line 1 column 31");
  EXPECT_EQ(description(fault_of(body_with("dry_run", "true,\"dry_run\":false"))),
            "duplicate field `dry_run`");
  const std::string request = testing::object_of(valid_members());
  EXPECT_EQ(description(fault_of("{\"request\":" + request + ",\"request\":" + request + "}")),
            "duplicate field `request`");
  // Unknown keys may repeat.
  EXPECT_TRUE(decode_print_body(body_with("x", "1,\"x\":2")));
}

TEST(JsonDecode, NullIsATypeErrorForEveryKey) {
  for (const auto& m : valid_members()) {
    const std::string fault = fault_of(body_with(m.key, "null"));
    EXPECT_EQ(fault.rfind("invalid type: null, expected ", 0), 0u) << m.key << ": " << fault;
  }
  EXPECT_EQ(description(fault_of(R"({"request":null})")),
            "invalid type: null, expected struct PrintRequest with 14 elements");
  EXPECT_EQ(description(fault_of("null")), "invalid type: null, expected struct Body");
}

TEST(JsonDecode, IntegerMembersRefuseFractionsExponentsAndRange) {
  struct Case {
    std::string key, value, expected;
  };
  const Case cases[] = {
      {"copies", "1.0", "invalid type: floating point `1.0`, expected u32"},
      {"copies", "1e2", "invalid type: floating point `1e2`, expected u32"},
      {"copies", "1E0", "invalid type: floating point `1E0`, expected u32"},
      {"copies", "-1", "invalid value: integer `-1`, expected u32"},
      {"copies", "4294967296", "invalid value: integer `4294967296`, expected u32"},
      {"density", "256", "invalid value: integer `256`, expected u8"},
      {"density", "-1", "invalid value: integer `-1`, expected u8"},
      {"speed", "-0.0", "invalid type: floating point `-0.0`, expected u8"},
      {"width_dots", "18446744073709551615",
       "invalid value: integer `18446744073709551615`, expected u32"},
      {"height_dots", "18446744073709551616",
       "invalid value: integer `18446744073709551616`, expected u32"},
      {"offset_x_dots", "2147483648", "invalid value: integer `2147483648`, expected i32"},
      {"offset_y_dots", "-2147483649", "invalid value: integer `-2147483649`, expected i32"},
      {"offset_y_dots", "0.5", "invalid type: floating point `0.5`, expected i32"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(description(fault_of(body_with(c.key, c.value))), c.expected) << c.key;
  }
}

TEST(JsonDecode, WrongTypesAreRefused) {
  struct Case {
    std::string key, value, expected;
  };
  const Case cases[] = {
      {"printer", "5", "invalid type: integer `5`, expected a string"},
      {"printer", "[]", "invalid type: sequence, expected a string"},
      {"data_b64", "1.5", "invalid type: floating point `1.5`, expected a string"},
      {"tear", R"("false")", "invalid type: string, expected a boolean"},
      {"tear", "0", "invalid type: integer `0`, expected a boolean"},
      {"dry_run", "{}", "invalid type: map, expected a boolean"},
      {"width_mm", R"("40")", "invalid type: string, expected f64"},
      {"gap_mm", "true", "invalid type: boolean `true`, expected f64"},
      {"width_dots", "{\"a\":1}", "invalid type: map, expected u32"},
      {"copies", R"("1")", "invalid type: string, expected u32"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(description(fault_of(body_with(c.key, c.value))), c.expected) << c.key;
  }
  EXPECT_EQ(description(fault_of("[]")), "invalid type: sequence, expected struct Body");
  EXPECT_EQ(description(fault_of(R"("text")")), "invalid type: string, expected struct Body");
  EXPECT_EQ(description(fault_of(R"({"request":[]})")),
            "invalid type: sequence, expected struct PrintRequest with 14 elements");
  EXPECT_EQ(description(fault_of(R"({"request":7})")),
            "invalid type: integer `7`, expected struct PrintRequest with 14 elements");
}

TEST(JsonDecode, OnlyWhiteSpaceAfterTheValue) {
  const std::string body = body_with("copies", "1");
  for (const char* tail : {"x", "{}", ",", "\f", "\v", "0", "\xC2\xA0", "/**/"}) {
    EXPECT_EQ(fault_of(body + " " + tail).rfind("trailing characters at line 1 column ", 0), 0u)
        << tail;
  }
  EXPECT_TRUE(decode_print_body(body + " \t\r\n\n"));
}

TEST(JsonDecode, NestingStopsAt127Levels) {
  const auto nested = [](int levels) {
    return std::string(static_cast<std::size_t>(levels), '[') +
           std::string(static_cast<std::size_t>(levels), ']');
  };
  const std::string request = testing::object_of(valid_members());
  const auto at_body_level = [&](int arrays) {
    return "{\"x\":" + nested(arrays) + ",\"request\":" + request + "}";
  };
  // The body object is level 1.
  EXPECT_TRUE(decode_print_body(at_body_level(126)));
  EXPECT_EQ(description(fault_of(at_body_level(127))), "nesting deeper than 127 levels");
  // Inside the request object (level 2).
  EXPECT_TRUE(decode_print_body(body_with("x", nested(125))));
  EXPECT_EQ(description(fault_of(body_with("x", nested(126)))), "nesting deeper than 127 levels");
  EXPECT_EQ(description(fault_of(body_with("x", std::string(100000, '[')))),
            "nesting deeper than 127 levels");
}

TEST(JsonDecode, SyntaxFaultsAreRefused) {
  const std::string valid = body_with("copies", "1");
  struct Case {
    std::string body, expected;
  };
  const Case cases[] = {
      {"", "unexpected end of input"},
      {"   ", "unexpected end of input"},
      {valid.substr(0, valid.size() - 1), "unexpected end of input"},
      {body_with("x", "1,"), "invalid JSON syntax"},  // trailing comma
      {R"({"request" {}})", "invalid JSON syntax"},
      {"{'request':{}}", "invalid JSON syntax"},
      {body_with("x", "01"), "invalid JSON syntax"},
      {body_with("x", ".5"), "invalid JSON syntax"},
      {body_with("x", "NaN"), "invalid JSON syntax"},
      {body_with("x", R"("\x41")"), "invalid JSON syntax"},
      {body_with("x", "/* comment */ 1"), "invalid JSON syntax"},
      {"\xEF\xBB\xBF" + valid, "invalid JSON syntax"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(description(fault_of(c.body)), c.expected) << c.body;
  }
  // Control characters and broken UTF-8 inside strings are refused by the parser itself.
  for (const std::string& value : {std::string("\"a\tb\""), std::string("\"\xFF\""),
                                   std::string("\"\xC3\""), std::string("\"a\0b\"", 5)}) {
    const std::string fault = fault_of(body_with("printer", value));
    EXPECT_NE(fault, "<accepted>") << value;
    EXPECT_EQ(fault.find("missing field"), std::string::npos) << fault;
  }
  EXPECT_NE(fault_of(valid + std::string(1, '\0')), "<accepted>");
}

TEST(JsonDecodePosition, LineAndColumnOfTheFault) {
  // The object's closing brace is the byte to blame for an absent key.
  const std::string body = body_without({"tear"});
  EXPECT_EQ(fault_of(body),
            "missing field `tear` at line 1 column " + std::to_string(body.size() - 1));
  EXPECT_EQ(fault_of(""), "unexpected end of input at line 1 column 0");
  EXPECT_EQ(fault_of("{\"request\":"), "unexpected end of input at line 1 column 11");
  EXPECT_EQ(fault_of("x"), "invalid JSON syntax at line 1 column 1");
  EXPECT_EQ(fault_of("{\n  \"request\": {\n    \"copies\": 1.5\n  }\n}"),
            "invalid type: floating point `1.5`, expected u32 at line 3 column 17");
  EXPECT_EQ(fault_of("{\n  \"request\": {\n    \"copies\": 1\n  }\n}"),
            "missing field `printer` at line 4 column 3");
  EXPECT_EQ(fault_of(body_with("copies", "1") + "\r\n\r\n  }"),
            "trailing characters at line 3 column 3");
}

TEST(JsonDecodeRaster, UnescapedTextStaysInTheBody) {
  const std::string body = body_with("data_b64", R"("QUJD")");
  auto r = decode_print_body(body);
  ASSERT_TRUE(r);
  const std::string_view b64 = r.value().data_b64;
  EXPECT_EQ(b64, "QUJD");
  EXPECT_GE(b64.data(), body.data());
  EXPECT_LT(b64.data(), body.data() + body.size());
  EXPECT_TRUE(r.value().data_b64_storage.empty());
}

TEST(JsonDecodeRaster, EscapedTextSurvivesMovesAndCopies) {
  const std::string body = body_with("data_b64", R"("QU\u004aD\/\n")");
  auto r = decode_print_body(body);
  ASSERT_TRUE(r);
  PrintRequest moved = std::move(r).value();
  PrintRequest copied = moved;
  EXPECT_EQ(data_b64_text(moved), "QUJD/\n");
  EXPECT_EQ(data_b64_text(copied), "QUJD/\n");
  EXPECT_EQ(moved.data_b64, "QUJD/\n");
}

TEST(JsonDecodeRaster, LargeEscapedText) {
  std::string raster;
  for (int i = 0; i < 100; ++i) raster += "\\u0042" + std::string(999, 'A');
  auto r = decode_print_body(body_with("data_b64", "\"" + raster + "\""));
  ASSERT_TRUE(r);
  const std::string_view text = data_b64_text(r.value());
  ASSERT_EQ(text.size(), 100000u);
  EXPECT_EQ(text.substr(0, 3), "BAA");
  EXPECT_EQ(text[1000], 'B');
}

}  // namespace
}  // namespace sv::printing
