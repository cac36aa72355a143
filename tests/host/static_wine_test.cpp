// The Windows build carries the same compiled-in designer as the Linux one and hands out its
// own file. Runs $SORVENDALE_WINDOWS_EXE under wine64 with a private prefix.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/embedded_files.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

namespace fs = std::filesystem;
using sv::test::HttpReply;
using sv::test::split_reply;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Debian keeps wine64 out of PATH.
std::string wine64() {
  for (const char* candidate : {"/usr/bin/wine64", "/usr/lib/wine/wine64"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return "wine64";
}

class WineStatic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* exe = std::getenv("SORVENDALE_WINDOWS_EXE");
    if (exe == nullptr || *exe == '\0') return;
    base_ = sv::test::make_temp_dir("sv-wine-static");
    // Four levels down, so none of the exe's "dist" candidates exist.
    const fs::path folder = base_ / "a" / "b" / "c" / "d";
    fs::create_directories(folder);
    exe_ = folder / "Sorvendale.exe";
    fs::copy_file(exe, exe_);
    fs::create_directory(base_ / "prefix");
    fs::create_directory(base_ / "cwd");
    server_ = new sv::test::ServerProcess({
        .command = {wine64(), exe_.string()},
        .args = {"--port", std::to_string(sv::test::free_port()), "--no-open"},
        .working_dir = base_ / "cwd",
        .env = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", (base_ / "prefix").string()}},
        // A fresh prefix is created on the first start.
        .ready_timeout = std::chrono::minutes(4),
    });
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
    std::error_code ignored;
    if (!base_.empty()) fs::remove_all(base_, ignored);
  }
  void SetUp() override {
    if (server_ == nullptr) GTEST_SKIP() << "SORVENDALE_WINDOWS_EXE is not set";
    ASSERT_TRUE(server_->ready()) << server_->stdout_text() << server_->stderr_text();
    ASSERT_NE(server_->stdout_text().find("前端：内嵌（单文件便携版）"), std::string::npos)
        << "the exe found a dist folder: " << server_->stdout_text();
  }
  static HttpReply get(std::string_view target) {
    return split_reply(sv::test::exchange(server_->port(),
                                          "GET " + std::string(target) + " HTTP/1.1\r\n\r\n",
                                          std::chrono::seconds(60)));
  }

  static inline fs::path base_;
  static inline fs::path exe_;
  static inline sv::test::ServerProcess* server_ = nullptr;
};

TEST_F(WineStatic, ServesTheSameIndexAsTheLinuxBuild) {
  const auto* index = sv::host::find_embedded_file("index.html");
  ASSERT_NE(index, nullptr);
  const std::string expected(reinterpret_cast<const char*>(index->bytes.data()),
                             index->bytes.size());
  HttpReply reply = get("/");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  const std::vector<std::string> head = {"Content-Type: text/html; charset=utf-8",
                                         "Content-Length: " + std::to_string(expected.size()),
                                         "Cache-Control: no-store",
                                         "X-Content-Type-Options: nosniff",
                                         "Access-Control-Allow-Origin: *",
                                         "Connection: close"};
  EXPECT_EQ(reply.header_lines, head);
  EXPECT_TRUE(reply.body == expected) << "index.html differs from the Linux build's";
}

TEST_F(WineStatic, EveryEmbeddedFileMatchesTheLinuxBuild) {
  for (const auto& file : sv::host::embedded_files()) {
    HttpReply reply = get("/" + std::string(file.name));
    EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK") << file.name;
    EXPECT_TRUE(reply.body ==
                std::string(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()))
        << file.name;
  }
}

TEST_F(WineStatic, DownloadIsTheExeItself) {
  const std::string exe = read_file(exe_);
  HttpReply reply = get("/download/Sorvendale.exe");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(sv::test::header_value(reply, "Content-Length"), std::to_string(exe.size()));
  EXPECT_EQ(sv::test::header_value(reply, "Content-Type"),
            "application/vnd.microsoft.portable-executable");
  EXPECT_EQ(sv::test::header_value(reply, "Content-Disposition"),
            "attachment; filename=\"Sorvendale.exe\"");
  EXPECT_TRUE(reply.body == exe) << reply.body.size() << " of " << exe.size() << " bytes";
}

}  // namespace

namespace {

// Windows paths differ from POSIX ones (drive, backslashes), so the containment test runs
// again on the Windows build, with the folder reached through wine's Z: drive.
TEST_F(WineStatic, FolderModeKeepsNamesInside) {
  const fs::path site = base_ / "site";
  fs::create_directories(site / "assets");
  std::ofstream(site / "index.html", std::ios::binary) << "<p>folder</p>";
  std::ofstream(site / "assets" / "app.js", std::ios::binary) << "1;";
  fs::create_directories(base_ / "site-old");
  std::ofstream(base_ / "site-old" / "x.txt", std::ios::binary) << "outside";
  std::string windows_path = "Z:" + site.string();
  std::replace(windows_path.begin(), windows_path.end(), '/', '\\');

  sv::test::ServerProcess folder_server({
      .command = {wine64(), exe_.string()},
      .args = {"--port", std::to_string(sv::test::free_port()), "--no-open", "--dist",
               windows_path},
      .working_dir = base_ / "cwd",
      .env = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", (base_ / "prefix").string()}},
      .ready_timeout = std::chrono::minutes(2),
  });
  ASSERT_TRUE(folder_server.ready()) << folder_server.stderr_text();
  auto fetch = [&](std::string_view target) {
    return split_reply(sv::test::exchange(folder_server.port(),
                                          "GET " + std::string(target) + " HTTP/1.1\r\n\r\n",
                                          std::chrono::seconds(60)));
  };
  EXPECT_EQ(fetch("/").body, "<p>folder</p>");
  EXPECT_EQ(fetch("/assets/../index.html").body, "<p>folder</p>");
  EXPECT_EQ(fetch("/assets\\app.js").body, "1;");
  for (std::string_view target : {"/../site-old/x.txt", "/..\\site-old\\x.txt", "/assets",
                                  "/Z:/etc/hostname", "/Z:\\etc\\hostname"}) {
    HttpReply reply = fetch(target);
    EXPECT_EQ(reply.status_line, "HTTP/1.1 404 Not Found") << target;
    EXPECT_EQ(reply.body, "not found") << target;
  }
}

}  // namespace
