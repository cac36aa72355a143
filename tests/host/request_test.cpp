#include "host/request.h"

#include <gtest/gtest.h>

#include <string>

namespace sv::host {
namespace {

TEST(RequestLine, SplitsAtUnicodeWhiteSpaceWithDefaults) {
  struct Case {
    std::string line, method, target;
  };
  const Case cases[] = {
      {"GET /api/health HTTP/1.1\r\n", "GET", "/api/health"},
      {"POST /x\n", "POST", "/x"},
      {"\n", "GET", "/"},
      {"\r\n", "GET", "/"},
      {"   \t ", "GET", "/"},
      {"", "GET", "/"},
      {"DELETE", "DELETE", "/"},
      {"  PUT \t\t /a/b  HTTP/1.0 extra\r\n", "PUT", "/a/b"},
      // Non-ASCII white space separates too (ideographic space, no-break space).
      {"GET\u3000/x\u00a0HTTP/1.1", "GET", "/x"},
      {"get /lower", "get", "/lower"},
  };
  for (const Case& c : cases) {
    RequestHead head;
    apply_request_line(head, c.line);
    EXPECT_EQ(head.method, c.method) << c.line;
    EXPECT_EQ(head.target, c.target) << c.line;
  }
}

TEST(RequestHead, PathIsApiAndHeadOnly) {
  struct Case {
    std::string method, target, path;
    bool api, head_only;
  };
  const Case cases[] = {
      {"GET", "/api/health?x=1", "/api/health", true, false},
      {"GET", "/API/health", "/API/health", false, false},
      {"GET", "/api", "/api", false, false},
      {"GET", "/api/", "/api/", true, false},
      {"HEAD", "/?a?b", "/", false, true},
      {"head", "/", "/", false, false},
      {"GET", "?only", "", false, false},
      {"GET", "/%61pi/health", "/%61pi/health", false, false},
  };
  for (const Case& c : cases) {
    RequestHead head;
    head.method = c.method;
    head.target = c.target;
    EXPECT_EQ(head.path(), c.path) << c.target;
    EXPECT_EQ(head.is_api(), c.api) << c.target;
    EXPECT_EQ(head.head_only(), c.head_only) << c.method;
  }
}

TEST(ContentLength, ParsesUnsignedDecimalElseZero) {
  struct Case {
    std::string text;
    std::uint64_t value;
  };
  const Case cases[] = {
      {"12", 12},
      {"+12", 12},
      {" \t12\u3000", 12},
      {"0", 0},
      {"007", 7},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", 0},
      {"99999999999999999999999", 0},
      {"-1", 0},
      {"12abc", 0},
      {"1 2", 0},
      {"", 0},
      {"   ", 0},
      {"+", 0},
      {"-", 0},
      {"++1", 0},
      {"0x10", 0},
      {"１２", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_content_length(c.text), c.value) << c.text;
}

TEST(HeaderLine, LastOriginAndContentLengthCount) {
  struct Case {
    std::vector<std::string> lines;
    std::optional<std::string> origin;
    std::uint64_t length;
  };
  const std::vector<Case> cases = {
      {{"Origin: http://localhost:5173"}, "http://localhost:5173", 0},
      {{"ORIGIN:http://a"}, "http://a", 0},
      {{"origin:   \t "}, "", 0},
      {{"Origin : http://a"}, {}, 0},  // the space makes it another name
      {{" Origin: http://a"}, {}, 0},
      {{"Origins: http://a"}, {}, 0},
      {{"Origin http://a"}, {}, 0},
      {{"Origin: http://a", "Origin: http://b"}, "http://b", 0},
      {{"Origin: \u00a0http://LocalHost\u3000"}, "http://LocalHost", 0},
      {{"Origin: a:b:c"}, "a:b:c", 0},
      {{"Content-length: 5"}, {}, 5},
      {{"CONTENT-LENGTH: +12"}, {}, 12},
      {{"Content-Length: 5", "Content-Length: abc"}, {}, 0},
      {{"Content-Length: abc", "Content-Length: 7"}, {}, 7},
      {{"Content-Length : 5"}, {}, 0},
      {{"Transfer-Encoding: chunked"}, {}, 0},
  };
  for (const Case& c : cases) {
    RequestHead head;
    for (const auto& line : c.lines) apply_header_line(head, line);
    EXPECT_EQ(head.origin, c.origin) << c.lines.front();
    EXPECT_EQ(head.content_length, c.length) << c.lines.front();
  }
}

TEST(HeaderLine, LineEndsAreStrippedInAnyMix) {
  EXPECT_EQ(strip_line_end("Host: x\r\n"), "Host: x");
  EXPECT_EQ(strip_line_end("Host: x\n"), "Host: x");
  EXPECT_EQ(strip_line_end("Host: x\n\r\r\n"), "Host: x");
  EXPECT_EQ(strip_line_end("\r\r\r"), "");
  EXPECT_EQ(strip_line_end("a\rb\n"), "a\rb");
  EXPECT_EQ(strip_line_end("Host: x \r\n"), "Host: x ");
}

}  // namespace
}  // namespace sv::host
