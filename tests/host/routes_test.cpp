// Every API command answered in process, over a real loopback connection, with a recording
// spooler in place of the system's: the route table, the body modes and the replies.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/connection.h"
#include "host/routing.h"
#include "printing/body_fixture.h"
#include "support/http_client.h"
#include "support/recording_spooler.h"

namespace sv::host {
namespace {

using test::RecordingSpooler;

test::HttpReply serve_one(RecordingSpooler& spooler, const std::string& request) {
  platform::init_sockets();
  auto listener = platform::Listener::bind_loopback(0, 4, nullptr);
  EXPECT_TRUE(listener);
  if (!listener) return {};
  std::jthread server([&] {
    auto connection = listener.value().accept();
    if (!connection) return;
    (void)handle_connection(connection.value(), ServiceContext{spooler, std::nullopt});
    connection.value().close();
  });
  return test::split_reply(test::exchange(listener.value().port(), request));
}

std::string post(const std::string& path, const std::string& body) {
  return "POST " + path + " HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

TEST(Routes, EveryCommandReachesTheSpoolerItWasGiven) {
  const std::string print = printing::testing::body_with("dry_run", "false");
  struct Case {
    std::string request;
    std::string status_line;
    std::string body;  // the whole body; empty: not compared
    void (*setup)(RecordingSpooler&);
    void (*check)(const RecordingSpooler&);
  };
  const std::vector<Case> cases = {
      {"GET /api/health HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", R"({"ok":true,"printers":1})",
       [](RecordingSpooler& s) {
         printing::PrinterInfo p;
         p.name = "Zeko Z1";
         s.printers.push_back(p);
       },
       [](const RecordingSpooler& s) { EXPECT_EQ(s.enumerations, 1); }},
      {post("/api/list_printers", "{}"), "HTTP/1.1 500 Internal Server Error", "枚举打印机失败：x",
       [](RecordingSpooler& s) { s.enumerate_error = "枚举打印机失败：x"; }, nullptr},
      {post("/api/print_sheet", print), "HTTP/1.1 200 OK", "", nullptr,
       [](const RecordingSpooler& s) {
         ASSERT_EQ(s.submitted.size(), 1u);
         EXPECT_EQ(s.submitted[0].printer, "Zeko Z1");
         EXPECT_TRUE(s.submitted[0].stream.starts_with("SIZE 40 mm, 30 mm"));
       }},
      {post("/api/printer_status", R"({"printer":"Q"})"), "HTTP/1.1 200 OK", "", nullptr,
       [](const RecordingSpooler& s) { EXPECT_EQ(s.status_asked, std::vector<std::string>{"Q"}); }},
      {post("/api/cancel_jobs", R"({"printer":"Q"})"), "HTTP/1.1 200 OK", R"({"cancelled":3})",
       [](RecordingSpooler& s) { s.cancelled = 3; },
       [](const RecordingSpooler& s) { EXPECT_EQ(s.cancel_asked, std::vector<std::string>{"Q"}); }},
      {post("/api/cancel_jobs", R"({"printer":"Q"})"), "HTTP/1.1 500 Internal Server Error",
       "打不开打印机「Q」：x", [](RecordingSpooler& s) { s.status_error = "打不开打印机「Q」：x"; },
       nullptr},
      // A known path under the wrong method: the body is dropped, nothing is printed.
      {"GET /api/print_sheet HTTP/1.1\r\nContent-Length: " + std::to_string(print.size()) +
           "\r\n\r\n" + print,
       "HTTP/1.1 404 Not Found", "no such api", nullptr,
       [](const RecordingSpooler& s) { EXPECT_TRUE(s.submitted.empty()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request.substr(0, c.request.find('\r')));
    RecordingSpooler spooler;
    if (c.setup) c.setup(spooler);
    const test::HttpReply reply = serve_one(spooler, c.request);
    EXPECT_EQ(reply.status_line, c.status_line);
    if (!c.body.empty()) {
      EXPECT_EQ(reply.body, c.body);
    }
    if (c.check) c.check(spooler);
  }
}

TEST(Routes, TableHasOneEntryPerMethodAndPath) {
  const auto routes = api_routes();
  for (std::size_t i = 0; i < routes.size(); ++i) {
    EXPECT_EQ(find_api_route(routes[i].method, routes[i].path), &routes[i]);
    EXPECT_TRUE(routes[i].path.starts_with("/api/"));
  }
  EXPECT_EQ(find_api_route("POST", "/api/print_sheet")->body, BodyMode::stream);
  EXPECT_EQ(find_api_route("PUT", "/api/health"), nullptr);
}

}  // namespace
}  // namespace sv::host
