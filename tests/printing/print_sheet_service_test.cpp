// print_sheet through the running service: 400 for bodies that do not decode, 500 for
// requests the job refuses, 200 for a dry run.
#include <gtest/gtest.h>

#include <string>

#include "printing/body_fixture.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace sv::printing {
namespace {

std::string post(std::uint16_t port, const std::string& body) {
  return test::exchange(port,
                        "POST /api/print_sheet HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                        "Content-Type: application/json\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST(PrintSheetService, StatusesAndTexts) {
  test::ServerProcess server({.args = {"--port", std::to_string(test::free_port()), "--no-open"}});
  ASSERT_TRUE(server.ready()) << server.stderr_text();

  const std::string no_tear = testing::body_without({"tear"});
  struct Case {
    std::string body, status_line, text;
  };
  const Case cases[] = {
      {no_tear, "HTTP/1.1 400 Bad Request",
       "请求格式不对：missing field `tear` at line 1 column " + std::to_string(no_tear.size() - 1)},
      {"", "HTTP/1.1 400 Bad Request", "请求格式不对：unexpected end of input at line 1 column 0"},
      {testing::body_with("copies", "1.0"), "HTTP/1.1 400 Bad Request", ""},
      {testing::body_with("width_dots", "0"), "HTTP/1.1 500 Internal Server Error",
       "标签尺寸不能为 0"},
      {testing::body_with("printer", R"("\u3000 ")"), "HTTP/1.1 500 Internal Server Error",
       "没有选择打印机"},
      {testing::body_with("printer", R"(" P \"1\" ")"), "HTTP/1.1 200 OK",
       R"({"bytes":143,"elapsed_ms":0,"printer":" P \"1\" "})"},
  };
  for (const Case& c : cases) {
    const auto reply = test::split_reply(post(server.port(), c.body));
    EXPECT_EQ(reply.status_line, c.status_line) << c.body;
    if (!c.text.empty()) {
      EXPECT_EQ(reply.body, c.text) << c.body;
    } else {
      EXPECT_EQ(reply.body.rfind("请求格式不对：", 0), 0u) << reply.body;
    }
  }
}

}  // namespace
}  // namespace sv::printing
