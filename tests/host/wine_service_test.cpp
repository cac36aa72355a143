// The Windows build under wine64: banner in UTF-8, health, and a 404 for an unknown path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "support/http_client.h"
#include "support/server_process.h"

namespace sv::test {
namespace {

using namespace std::chrono_literals;

std::string wine_loader() {
  for (const char* candidate : {"/usr/bin/wine64", "/usr/lib/wine/wine64"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return "wine";
}

// One private prefix per test run; creating it is what makes the first start slow.
struct WinePrefix {
  std::filesystem::path dir = make_temp_dir("sv-wine");
  ~WinePrefix() {
    const std::string kill = "WINEPREFIX='" + dir.string() + "' wineserver -k >/dev/null 2>&1";
    [[maybe_unused]] int ignored = std::system(kill.c_str());
    std::error_code error;
    std::filesystem::remove_all(dir, error);
  }
};

// The exe copied where none of its "dist" candidates exist.
struct IsolatedExe {
  std::filesystem::path root = make_temp_dir("sv-winexe");
  std::filesystem::path exe;
  explicit IsolatedExe(const std::filesystem::path& source) {
    const auto dir = root / "a" / "b" / "c" / "d";
    std::filesystem::create_directories(dir);
    exe = dir / "Sorvendale.exe";
    std::filesystem::copy_file(source, exe);
  }
  ~IsolatedExe() {
    std::error_code error;
    std::filesystem::remove_all(root, error);
  }
};

class WineService : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* exe = std::getenv("SORVENDALE_WINDOWS_EXE");
    if (exe == nullptr || *exe == '\0') return;
    prefix_ = std::make_unique<WinePrefix>();
    exe_ = std::make_unique<IsolatedExe>(exe);
  }
  static void TearDownTestSuite() {
    exe_.reset();
    prefix_.reset();
  }
  void SetUp() override {
    if (!exe_) GTEST_SKIP() << "SORVENDALE_WINDOWS_EXE is not set";
  }
  static ServerOptions options(std::vector<std::string> args) {
    return ServerOptions{
        .command = {wine_loader(), exe_->exe.string()},
        .args = std::move(args),
        .env = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", prefix_->dir.string()}},
        .ready_timeout = 120s,
    };
  }

  static std::unique_ptr<WinePrefix> prefix_;
  static std::unique_ptr<IsolatedExe> exe_;
};
std::unique_ptr<WinePrefix> WineService::prefix_;
std::unique_ptr<IsolatedExe> WineService::exe_;

TEST_F(WineService, BannerHealthAndNotFound) {
  const std::string port = std::to_string(free_port());
  ServerProcess server(options({"--port", port, "--no-open"}));
  ASSERT_TRUE(server.ready()) << server.stdout_text() << server.stderr_text();
  EXPECT_EQ(server.stdout_text(), "Sorvendale 本地打印服务已启动： http://127.0.0.1:" + port +
                                      "/\n"
                                      "前端：内嵌（单文件便携版）\n"
                                      "打印机：检测到 0 台\n"
                                      "关闭这个窗口即可停止服务。\n");
  EXPECT_EQ(
      exchange(server.port(), "GET /api/health HTTP/1.1\r\nOrigin: http://localhost\r\n\r\n", 30s),
      "HTTP/1.1 200 OK\r\n"
      "Content-Type: application/json; charset=utf-8\r\n"
      "Content-Length: 24\r\n"
      "Cache-Control: no-store\r\n"
      "X-Content-Type-Options: nosniff\r\n"
      "Connection: close\r\n"
      "Access-Control-Allow-Origin: http://localhost\r\n"
      "Vary: Origin\r\n"
      "\r\n"
      "{\"ok\":true,\"printers\":0}");
  EXPECT_EQ(exchange(server.port(), "GET /no/such/file.txt HTTP/1.1\r\n\r\n", 30s),
            "HTTP/1.1 404 Not Found\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n"
            "Content-Length: 9\r\n"
            "X-Content-Type-Options: nosniff\r\n"
            "Connection: close\r\n"
            "Access-Control-Allow-Origin: *\r\n"
            "Vary: Origin\r\n"
            "\r\n"
            "not found");
}

TEST_F(WineService, SecondInstanceFindsThePortTaken) {
  const std::string port = std::to_string(free_port());
  ServerProcess first(options({"--port", port, "--no-open"}));
  ASSERT_TRUE(first.ready()) << first.stderr_text();
  ServerProcess second(options({"--port", port, "--no-open"}));
  EXPECT_EQ(second.wait_exit(60s), 0);
  EXPECT_EQ(second.stderr_text(), "端口 " + port + " 已被占用，Sorvendale 可能已经在运行。\n");
  EXPECT_EQ(second.stdout_text(), "");
}

}  // namespace
}  // namespace sv::test
