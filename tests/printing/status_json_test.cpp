// The {"printer": NAME} body of printer_status and cancel_jobs, and their replies.
#include <gtest/gtest.h>

#include <string>

#include "printing/status_json.h"

namespace sv::printing {
namespace {

std::string decoded(const std::string& body) {
  auto r = decode_printer_body(body);
  return r ? "ok:" + r.value() : "err:" + r.error();
}

TEST(StatusJson, PrinterBodyRules) {
  const std::pair<std::string, std::string> cases[] = {
      {R"({"printer":"Zeko"})", "ok:Zeko"},
      {" {\"printer\" : \" Zeko 打印机 \"} \r\n\t", "ok: Zeko 打印机 "},
      {R"({"printer":"a\"b\\c\u00e9\ud83d\ude00"})", "ok:a\"b\\c\xc3\xa9\xf0\x9f\x98\x80"},
      {R"({"printer":""})", "ok:"},
      // Other members are skipped, whatever they hold, but must be well-formed.
      {R"({"x":[1,{"printer":5}],"printer":"Z","Printer":null,"y":{"z":[]}})", "ok:Z"},
      {R"({"x":[1,}],"printer":"Z"})", "err:invalid JSON syntax at line 1 column 9"},
      {R"({"Printer":"Z"})", "err:missing field `printer` at line 1 column 15"},
      {"{}", "err:missing field `printer` at line 1 column 2"},
      {R"({"printer":"A","printer":"B"})", "err:duplicate field `printer` at line 1 column 24"},
      {R"({"printer":null})", "err:invalid type: null, expected a string at line 1 column 12"},
      {R"({"printer":7})", "err:invalid type: integer `7`, expected a string at line 1 column 13"},
      {R"({"printer":1.5e3})",
       "err:invalid type: floating point `1.5e3`, expected a string at line 1 column 17"},
      {R"({"printer":true})",
       "err:invalid type: boolean `true`, expected a string at line 1 column 12"},
      {R"({"printer":["Z"]})", "err:invalid type: sequence, expected a string at line 1 column 12"},
      {R"({"printer":{}})", "err:invalid type: map, expected a string at line 1 column 12"},
      {R"(["Z"])", "err:invalid type: sequence, expected struct PrinterBody at line 1 column 1"},
      {R"("Z")", "err:invalid type: string, expected struct PrinterBody at line 1 column 3"},
      {"null", "err:invalid type: null, expected struct PrinterBody at line 1 column 1"},
      {"", "err:unexpected end of input at line 1 column 0"},
      {"{\n  \"printer\": \"Z\"\n", "err:unexpected end of input at line 3 column 0"},
      {"{\"printer\":\"Z\"} x", "err:trailing characters at line 1 column 17"},
      {"{\"printer\":\"Z\"}\n}", "err:trailing characters at line 2 column 1"},
  };
  for (const auto& [body, expected] : cases) EXPECT_EQ(decoded(body), expected) << body;
}

TEST(StatusJson, MediaBodyNeedsItsThreeNumbers) {
  const auto media = [](const std::string& body) {
    auto r = decode_media_body(body);
    if (!r) return "err:" + r.error();
    const MediaCalibration& m = r.value();
    return "ok:" + m.printer + ' ' + std::to_string(m.width_mm) + ' ' +
           std::to_string(m.height_mm) + ' ' + std::to_string(m.gap_mm);
  };
  const std::pair<std::string, std::string> cases[] = {
      {R"({"gap_mm":2,"printer":"Z","height_mm":30.5,"width_mm":4e1,"x":"y"})",
       "ok:Z 40.000000 30.500000 2.000000"},
      {R"({"printer":"Z","width_mm":-1,"height_mm":0,"gap_mm":-0.5})",
       "ok:Z -1.000000 0.000000 -0.500000"},
      {R"({"printer":"Z","width_mm":40,"gap_mm":2})",
       "err:missing field `height_mm` at line 1 column 40"},
      {R"({"width_mm":40,"height_mm":30,"gap_mm":2})",
       "err:missing field `printer` at line 1 column 41"},
      {R"({"printer":"Z","gap_mm":1,"gap_mm":2})",
       "err:duplicate field `gap_mm` at line 1 column 34"},
      {R"({"printer":"Z","width_mm":"40"})",
       "err:invalid type: string, expected f64 at line 1 column 30"},
      {R"({"printer":"Z","width_mm":null})",
       "err:invalid type: null, expected f64 at line 1 column 27"},
      {R"({"printer":7})", "err:invalid type: integer `7`, expected a string at line 1 column 13"},
      {"[]", "err:invalid type: sequence, expected struct MediaBody at line 1 column 1"},
  };
  for (const auto& [body, expected] : cases) EXPECT_EQ(media(body), expected) << body;
}

TEST(StatusJson, NestingLimitCountsTheOutermostObject) {
  const auto nested = [](int depth) {
    return R"({"printer":"Z","x":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') +
           "}";
  };
  EXPECT_EQ(decoded(nested(127)), "ok:Z");
  EXPECT_TRUE(decoded(nested(128)).starts_with("err:nesting deeper than 127 levels at line 1"))
      << decoded(nested(128));
}

TEST(StatusJson, StringsArriveInPartsFromLongBodies) {
  // Escapes make the parser hand the text over in several parts.
  std::string name;
  for (int i = 0; i < 4000; ++i) name += i % 7 == 0 ? "\\n" : "z";
  std::string expected;
  for (int i = 0; i < 4000; ++i) expected += i % 7 == 0 ? "\n" : "z";
  EXPECT_EQ(decoded("{\"" + std::string(3000, 'k') + "\":0,\"printer\":\"" + name + "\"}"),
            "ok:" + expected);
}

TEST(StatusJson, Replies) {
  PrinterStatus idle;
  EXPECT_EQ(encode_printer_status(idle), R"({"jobs":[],"message":"","reasons":[],"state":"idle"})");

  PrinterStatus busy;
  busy.state = PrinterState::error;
  busy.reasons = {"已暂停", "缺纸"};
  busy.message = "Media \"A\"\\empty\n";
  busy.jobs = {{12, JobState::printing, 1765000000123}, {4294967295u, JobState::pending, 0}};
  EXPECT_EQ(encode_printer_status(busy),
            R"({"jobs":[{"id":12,"state":"printing","submitted_ms":1765000000123},)"
            R"({"id":4294967295,"state":"pending","submitted_ms":0}],)"
            R"("message":"Media \"A\"\\empty\n","reasons":["已暂停","缺纸"],"state":"error"})");

  EXPECT_EQ(encode_cancel_reply(0), R"({"cancelled":0})");
  EXPECT_EQ(encode_cancel_reply(31), R"({"cancelled":31})");
}

}  // namespace
}  // namespace sv::printing
