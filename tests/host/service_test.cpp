// The real service binary on a free loopback port, replies compared byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "host/options.h"
#include "support/http_client.h"
#include "support/server_process.h"
#include "support/shared_service.h"

namespace sv::test {
namespace {

using namespace std::chrono_literals;

std::string text_reply(const std::string& status, const std::string& message,
                       const std::string& allow_origin = "") {
  std::string r = "HTTP/1.1 " + status +
                  "\r\n"
                  "Content-Type: text/plain; charset=utf-8\r\n"
                  "Content-Length: " +
                  std::to_string(message.size()) +
                  "\r\n"
                  "X-Content-Type-Options: nosniff\r\n"
                  "Connection: close\r\n";
  if (!allow_origin.empty()) {
    r += "Access-Control-Allow-Origin: " + allow_origin + "\r\nVary: Origin\r\n";
  }
  return r + "\r\n" + message;
}

std::string json_reply(const std::string& body, const std::string& allow_origin) {
  return "HTTP/1.1 200 OK\r\n"
         "Content-Type: application/json; charset=utf-8\r\n"
         "Content-Length: " +
         std::to_string(body.size()) +
         "\r\n"
         "Cache-Control: no-store\r\n"
         "X-Content-Type-Options: nosniff\r\n"
         "Connection: close\r\n"
         "Access-Control-Allow-Origin: " +
         allow_origin + "\r\nVary: Origin\r\n\r\n" + body;
}

std::string preflight_reply(const std::string& allow_origin) {
  return "HTTP/1.1 204 No Content\r\n"
         "Access-Control-Allow-Origin: " +
         allow_origin +
         "\r\n"
         "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
         "Access-Control-Allow-Headers: content-type\r\n"
         "Access-Control-Max-Age: 600\r\n"
         "Vary: Origin\r\n"
         "Content-Length: 0\r\n"
         "Connection: close\r\n"
         "\r\n";
}

const std::string kForbidden = text_reply("403 Forbidden", "origin not allowed");
const std::string kTooLarge = text_reply("413 Payload Too Large", "request body too large");

// The printer count from banner line 3, so the health body matches whatever the spooler has.
std::string banner_printer_count(const std::string& out) {
  const std::string prefix = "打印机：检测到 ";
  const auto at = out.find(prefix);
  if (at == std::string::npos) return "?";
  const auto start = at + prefix.size();
  return out.substr(start, out.find(' ', start) - start);
}

class Service : public SharedServiceTest {
 protected:
  static std::string ask(const std::string& request) {
    return exchange(server_->port(), request, 10s);
  }
  static std::string health_body() {
    return "{\"ok\":true,\"printers\":" + banner_printer_count(server_->stdout_text()) + "}";
  }
};

TEST_F(Service, BannerNamesPortAndCompiledInFrontend) {
  const std::string port = std::to_string(server_->port());
  const std::string out = server_->stdout_text();
  // Where the machine's print system does not answer, the banner says so under the count.
  const std::string unreachable = "无法连接系统打印服务（CUPS）：";
  const auto reason = out.find(unreachable);
  const std::string reason_line =
      reason == std::string::npos ? "" : out.substr(reason, out.find('\n', reason) + 1 - reason);
  EXPECT_EQ(out, "Sorvendale 本地打印服务已启动： http://127.0.0.1:" + port +
                     "/\n"
                     "前端：内嵌（单文件便携版）\n"
                     "打印机：检测到 " +
                     banner_printer_count(out) + " 台\n" + reason_line +
                     "关闭这个窗口即可停止服务。\n");
}

TEST_F(Service, HealthEchoesTheOriginOrStar) {
  struct Case {
    std::string request, allow;
  };
  const Case cases[] = {
      {"GET /api/health HTTP/1.1\r\nHost: x\r\n\r\n", "*"},
      {"POST /api/health HTTP/1.1\r\nContent-Length: 4\r\n\r\nbody", "*"},
      {"GET /api/health?x=1 HTTP/1.1\r\n\r\n", "*"},
      {"GET /api/health HTTP/1.1\r\nOrigin: http://LocalHost:5173\r\n\r\n",
       "http://LocalHost:5173"},
      {"GET /api/health HTTP/1.1\r\norigin:   tauri://localhost  \r\n\r\n", "tauri://localhost"},
      // The last Origin counts.
      {"GET /api/health HTTP/1.1\r\nOrigin: http://evil.example\r\nOrigin: "
       "http://127.0.0.1\r\n\r\n",
       "http://127.0.0.1"},
      // With a space before the colon it is some other header: no origin at all.
      {"GET /api/health HTTP/1.1\r\nOrigin : http://evil.example\r\n\r\n", "*"},
      // Lone line feeds, and a line of carriage returns only ending the head.
      {"GET /api/health HTTP/1.1\nOrigin: http://localhost\n\n", "http://localhost"},
      {"GET /api/health HTTP/1.1\r\n\r\r\r\n", "*"},
      // Chunked coding is not understood: the body counts as empty.
      {"POST /api/health HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
       "*"},
      // Content-Length rules: the last one counts even when malformed; +N is N.
      {"POST /api/health HTTP/1.1\r\nContent-Length: 100\r\nContent-Length: 12abc\r\n\r\n", "*"},
      {"POST /api/health HTTP/1.1\r\nContent-Length: -1\r\n\r\n", "*"},
      {"POST /api/health HTTP/1.1\r\nContent-Length: +3\r\n\r\nabc", "*"},
      {"POST /api/health HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", "*"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ask(c.request), json_reply(health_body(), c.allow)) << c.request;
  }
}

TEST_F(Service, PreflightForAnyPath) {
  struct Case {
    std::string request, reply;
  };
  const Case cases[] = {
      {"OPTIONS /api/print_sheet HTTP/1.1\r\n\r\n", preflight_reply("*")},
      {"OPTIONS /index.html HTTP/1.1\r\n\r\n", preflight_reply("*")},
      {"OPTIONS /api/print_sheet HTTP/1.1\r\nOrigin: HTTP://LOCALHOST:5173\r\n\r\n",
       preflight_reply("HTTP://LOCALHOST:5173")},
      {"OPTIONS / HTTP/1.1\r\nOrigin: http://[::1]:8080\r\n\r\n",
       preflight_reply("http://[::1]:8080")},
      {"OPTIONS /api/health HTTP/1.1\r\nOrigin: null\r\n\r\n", kForbidden},
      {"OPTIONS /static.js HTTP/1.1\r\nOrigin: https://localhost.example\r\n\r\n", kForbidden},
      {"OPTIONS /api/health HTTP/1.1\r\nOrigin:\r\n\r\n", kForbidden},
      // A body is announced but never sent: the preflight does not wait for it.
      {"OPTIONS /api/health HTTP/1.1\r\nContent-Length: 50\r\n\r\n", preflight_reply("*")},
  };
  for (const Case& c : cases) EXPECT_EQ(ask(c.request), c.reply) << c.request;
}

TEST_F(Service, ApiOriginGateComesBeforeTheBodyAndHasNoCorsLines) {
  const std::string cases[] = {
      "GET /api/health HTTP/1.1\r\nOrigin: http://evil.example\r\n\r\n",
      "POST /api/print_sheet HTTP/1.1\r\nORIGIN: http://0.0.0.0\r\nContent-Length: 10\r\n\r\n",
      "GET /api/nothing HTTP/1.1\r\nOrigin: null\r\n\r\n",
      "GET /api/health HTTP/1.1\r\nOrigin: http://localhost\r\nOrigin: file://\r\n\r\n",
      // The origin gate precedes the size gate.
      "POST /api/health HTTP/1.1\r\nOrigin: http://x\r\nContent-Length: 16777217\r\n\r\n",
  };
  for (const auto& request : cases) EXPECT_EQ(ask(request), kForbidden) << request;
}

TEST_F(Service, StaticPathsAreNotOriginGated) {
  const std::string plain = ask("GET /favicon.ico HTTP/1.1\r\n\r\n");
  EXPECT_EQ(ask("GET /favicon.ico HTTP/1.1\r\nOrigin: http://evil.example\r\n\r\n"), plain);
  EXPECT_EQ(ask("GET /API/health HTTP/1.1\r\n\r\n"), text_reply("404 Not Found", "not found", "*"));
}

TEST_F(Service, UnknownCommandsAndWrongMethods) {
  const std::string none = text_reply("404 Not Found", "no such api", "*");
  const std::string cases[] = {
      "GET /api/list_printers HTTP/1.1\r\n\r\n",
      "GET /api/print_sheet HTTP/1.1\r\n\r\n",
      "HEAD /api/health HTTP/1.1\r\n\r\n",
      "PUT /api/health HTTP/1.1\r\n\r\n",
      "get /api/health HTTP/1.1\r\n\r\n",
      "POST /api/Health HTTP/1.1\r\n\r\n",
      "POST /api/health/ HTTP/1.1\r\n\r\n",
      "POST /api/ HTTP/1.1\r\n\r\n",
      "POST /api/unknown HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}",
  };
  for (const auto& request : cases) EXPECT_EQ(ask(request), none) << request;
  EXPECT_EQ(ask("POST /api/nope HTTP/1.1\r\nOrigin: http://127.0.0.1:1\r\n\r\n"),
            text_reply("404 Not Found", "no such api", "http://127.0.0.1:1"));
}

TEST_F(Service, PrintSheetRefusesABodyThatIsNoJsonBody) {
  for (const std::string body : {"", "{", "[1,2"}) {
    const std::string request =
        "POST /api/print_sheet HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
    const HttpReply reply = split_reply(ask(request));
    EXPECT_EQ(reply.status_line, "HTTP/1.1 400 Bad Request") << body;
    EXPECT_TRUE(reply.body.starts_with("请求格式不对：")) << reply.body;
    EXPECT_GT(reply.body.size(), std::string("请求格式不对：").size()) << "no description";
    EXPECT_EQ(header_value(reply, "Content-Length"), std::to_string(reply.body.size()));
    EXPECT_EQ(header_value(reply, "Access-Control-Allow-Origin"), "*");
  }
}

TEST_F(Service, BodyOfSixteenMebibytesIsReadAndRouted) {
  const std::string body(16 * 1024 * 1024, 'x');
  EXPECT_EQ(ask("POST /api/health HTTP/1.1\r\nContent-Length: 16777216\r\n\r\n" + body),
            json_reply(health_body(), "*"));
  // Routed to the decoder, which refuses it as JSON.
  const HttpReply reply =
      split_reply(ask("POST /api/print_sheet HTTP/1.1\r\nContent-Length: 16777216\r\n\r\n" + body));
  EXPECT_EQ(reply.status_line, "HTTP/1.1 400 Bad Request");
  EXPECT_TRUE(reply.body.starts_with("请求格式不对：")) << reply.body;
}

TEST_F(Service, OneByteOverTheLimitIsRefusedBeforeTheBody) {
  // No body byte is ever sent: an answer proves none was waited for.
  const std::string cases[] = {
      "POST /api/health HTTP/1.1\r\nContent-Length: 16777217\r\n\r\n",
      "POST /api/print_sheet HTTP/1.1\r\nOrigin: http://localhost\r\nContent-Length: "
      "+18446744073709551615\r\n\r\n",
      "POST /index.html HTTP/1.1\r\nContent-Length: 16777217\r\n\r\n",
      "POST /api/health HTTP/1.1\r\nContent-Length: 0\r\nContent-Length: 20000000\r\n\r\n",
  };
  for (const auto& request : cases) EXPECT_EQ(exchange(server_->port(), request, 5s), kTooLarge);
}

TEST_F(Service, LoneLineFeedRequestLineIsTheIndexPage) {
  const std::string index = ask("GET / HTTP/1.1\r\n\r\n");
  ASSERT_FALSE(index.empty());
  EXPECT_EQ(ask("\n\n"), index);
  EXPECT_EQ(ask("   \r\n\r\n"), index);
  EXPECT_EQ(ask("GET\r\n\r\n"), index);
}

TEST_F(Service, HeadEndingWithTheStreamIsStillServed) {
  ClientConnection c(server_->port());
  ASSERT_TRUE(c.send_all("GET /api/health HTTP/1.1\r\nOrigin: http://localhost\r\n"));
  c.shutdown_send();
  EXPECT_EQ(c.read_all(10s), json_reply(health_body(), "http://localhost"));

  ClientConnection no_line_end(server_->port());
  ASSERT_TRUE(no_line_end.send_all("GET /api/health"));
  no_line_end.shutdown_send();
  EXPECT_EQ(no_line_end.read_all(10s), json_reply(health_body(), "*"));
}

TEST_F(Service, ConnectionsEndedWithoutReplyLeaveTheServiceRunning) {
  const std::string cases[] = {
      "",                                                             // nothing at all
      "GET /api/health\xC3\x28 HTTP/1.1\r\n\r\n",                     // bad UTF-8 line
      "GET /api/health HTTP/1.1\r\nX-Name: \xFF\r\n\r\n",             // bad UTF-8 header
      "POST /api/health HTTP/1.1\r\nContent-Length: 10\r\n\r\nhalf",  // body cut short
  };
  for (const auto& request : cases) {
    ClientConnection c(server_->port());
    ASSERT_TRUE(c.connected());
    ASSERT_TRUE(c.send_all(request));
    c.shutdown_send();
    EXPECT_EQ(c.read_all(10s), "") << request;
  }
  { ClientConnection closed_at_once(server_->port()); }
  EXPECT_EQ(ask("GET /api/health HTTP/1.1\r\n\r\n"), json_reply(health_body(), "*"));
}

// Start-up outcomes that end the process.
TEST(ServiceStart, PortTakenExitsZeroWithMessage) {
  const std::string port = std::to_string(free_port());
  ServerProcess first(
      {.command = {isolated_binary().string()}, .args = {"--port", port, "--no-open"}});
  ASSERT_TRUE(first.ready()) << first.stderr_text();
  ServerProcess second(
      {.command = {isolated_binary().string()}, .args = {"--no-open", "--port", port}});
  EXPECT_EQ(second.wait_exit(10s), 0);
  EXPECT_EQ(second.stdout_text(), "");
  EXPECT_EQ(second.stderr_text(), "端口 " + port + " 已被占用，Sorvendale 可能已经在运行。\n");
  EXPECT_TRUE(first.running());
}

TEST(ServiceStart, HelpAndVersionPrintAndExitZeroWithoutBinding) {
  const std::uint16_t port = free_port();
  const std::string port_text = std::to_string(port);
  const struct {
    std::string flag;
    std::string out;
  } cases[] = {{"--help", host::usage_text()},
               {"--version", "Sorvendale " + std::string(host::kVersion) + "\n"}};
  for (const auto& c : cases) {
    ServerProcess run({.command = {isolated_binary().string()},
                       .args = {"--port", port_text, "--no-open", c.flag}});
    EXPECT_EQ(run.wait_exit(10s), 0) << c.flag;
    EXPECT_EQ(run.stdout_text(), c.out) << c.flag;
    EXPECT_EQ(run.stderr_text(), "") << c.flag;
    EXPECT_EQ(exchange(port, "GET / HTTP/1.1\r\n\r\n", 1s), "") << c.flag;
  }
  EXPECT_TRUE(host::usage_text().starts_with("用法：sorvendale"));
}

TEST(ServiceStart, MissingIndexExitsOneBeforeBinding) {
  const std::filesystem::path dir = make_temp_dir("sv-noindex");
  const std::uint16_t port = free_port();
  ServerProcess server(
      {.command = {isolated_binary().string()},
       .args = {"--port", std::to_string(port), "--no-open", "--dist", dir.string()}});
  EXPECT_EQ(server.wait_exit(10s), 1);
  EXPECT_EQ(server.stdout_text(), "");
  EXPECT_EQ(server.stderr_text(),
            "找不到前端文件：" + (dir / "index.html").string() +
                "\n请先执行 npm run build，或直接使用内嵌前端的便携版 exe。\n");
  // Nothing was bound: the port is still free.
  EXPECT_EQ(exchange(port, "GET / HTTP/1.1\r\n\r\n", 1s), "");
  std::filesystem::remove_all(dir);
}

TEST(ServiceStart, FrontendFolderIsShownAsChosen) {
  const std::filesystem::path root = make_temp_dir("sv-front");
  // A build tree: the program two levels below the folder that holds dist.
  std::filesystem::create_directories(root / "dist");
  std::ofstream(root / "dist" / "index.html") << "<!doctype html>";
  std::filesystem::create_directories(root / "build" / "bin");
  const std::filesystem::path exe = root / "build" / "bin" / "sorvendale";
  std::filesystem::copy_file(isolated_binary(), exe);
  std::filesystem::create_directories(root / "cwd" / "site");
  std::ofstream(root / "cwd" / "site" / "index.html") << "<!doctype html>";

  struct Case {
    std::vector<std::string> args;
    std::string line2;
  };
  const std::vector<Case> cases = {
      {{}, "前端目录：" + (root / "build" / "bin" / ".." / ".." / "dist").string()},
      {{"--dist", "site"}, "前端目录：site"},
      // The trailing --dist cancels the first one; the search finds the build tree's dist.
      {{"--dist", "site", "--dist"},
       "前端目录：" + (root / "build" / "bin" / ".." / ".." / "dist").string()},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--port", std::to_string(free_port()), "--no-open"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ServerProcess server({.command = {exe.string()}, .args = args, .working_dir = root / "cwd"});
    ASSERT_TRUE(server.ready()) << server.stderr_text();
    const std::string out = server.stdout_text();
    const auto l2 = out.find('\n') + 1;
    EXPECT_EQ(out.substr(l2, out.find('\n', l2) - l2), c.line2);
  }
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace sv::test
