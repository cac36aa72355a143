// The compiled-in designer files and the self-download, served by the real binary run from a
// folder where no "dist" can be found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/embedded_files.h"
#include "host/static_files.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

namespace fs = std::filesystem;
using sv::test::exchange;
using sv::test::HttpReply;
using sv::test::split_reply;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string bytes_of(const sv::host::EmbeddedFile& file) {
  return std::string(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
}

std::vector<std::string> asset_head(std::string_view name, std::size_t size) {
  const std::string cache =
      name == "index.html" ? "no-store" : "public, max-age=31536000, immutable";
  return {"Content-Type: " + std::string(sv::host::content_type_for(name)),
          "Content-Length: " + std::to_string(size),
          "Cache-Control: " + cache,
          "X-Content-Type-Options: nosniff",
          "Access-Control-Allow-Origin: *",
          "Connection: close"};
}

// The Linux program is offered as the file it is, under its own name, never as an ".exe".
std::vector<std::string> download_head(std::uintmax_t size) {
  return {"Content-Type: application/octet-stream",
          "Content-Length: " + std::to_string(size),
          "Content-Disposition: attachment; filename=\"" +
              sv::test::isolated_binary().filename().string() + "\"",
          "Cache-Control: no-store",
          "X-Content-Type-Options: nosniff",
          "Connection: close"};
}

const std::vector<std::string> kNotFoundHead = {
    "Content-Type: text/plain; charset=utf-8", "Content-Length: 9",
    "X-Content-Type-Options: nosniff",         "Connection: close",
    "Access-Control-Allow-Origin: *",          "Vary: Origin"};

class StaticEmbedded : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new sv::test::ServerProcess(
        {.command = {sv::test::isolated_binary().string()},
         .args = {"--port", std::to_string(sv::test::free_port()), "--no-open"}});
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server_->ready()) << server_->stderr_text();
    ASSERT_NE(server_->stdout_text().find("前端：内嵌（单文件便携版）"), std::string::npos)
        << "the server found a dist folder: " << server_->stdout_text();
  }

  static HttpReply get(std::string_view method, std::string_view target,
                       std::string_view extra = "") {
    const std::string request = std::string(method) + " " + std::string(target) +
                                " HTTP/1.1\r\nHost: x\r\n" + std::string(extra) + "\r\n";
    return split_reply(exchange(server_->port(), request));
  }

  static sv::test::ServerProcess* server_;
};
sv::test::ServerProcess* StaticEmbedded::server_ = nullptr;

// The table must be the build's own output: every file of the dist/ it embedded, under the
// build's names and with its bytes.
TEST_F(StaticEmbedded, TableHoldsExactlyTheEmbeddedDist) {
  const fs::path dist = SORVENDALE_EMBEDDED_DIST;
  std::set<std::string> on_disk;
  for (const auto& entry : fs::recursive_directory_iterator(dist)) {
    if (entry.is_regular_file()) on_disk.insert(entry.path().lexically_relative(dist).string());
  }
  std::set<std::string> embedded;
  for (const auto& file : sv::host::embedded_files()) {
    embedded.insert(std::string(file.name));
    EXPECT_TRUE(bytes_of(file) == read_file(dist / file.name)) << file.name << " differs";
  }
  EXPECT_EQ(embedded, on_disk);
  EXPECT_TRUE(embedded.contains("index.html"));
}

TEST_F(StaticEmbedded, EveryFileServedByteForByte) {
  for (const auto& file : sv::host::embedded_files()) {
    const std::string name(file.name);
    HttpReply reply = get("GET", "/" + name);
    ASSERT_TRUE(reply.complete) << name;
    EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK") << name;
    EXPECT_EQ(reply.header_lines, asset_head(name, file.bytes.size())) << name;
    EXPECT_TRUE(reply.body == bytes_of(file)) << name << ": body differs";
  }
}

TEST_F(StaticEmbedded, IndexUnderEveryPathSpelling) {
  const auto* index = sv::host::find_embedded_file("index.html");
  ASSERT_NE(index, nullptr);
  for (std::string_view target : {"/", "//index.html", "/index.html?v=2", "/?v=2", "///"}) {
    HttpReply reply = get("GET", target);
    if (target == "///") {
      // All slashes stripped leave an empty name, which is not the index.
      EXPECT_EQ(reply.status_line, "HTTP/1.1 404 Not Found");
      continue;
    }
    EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK") << target;
    EXPECT_EQ(reply.header_lines, asset_head("index.html", index->bytes.size())) << target;
    EXPECT_TRUE(reply.body == bytes_of(*index)) << target;
  }
}

TEST_F(StaticEmbedded, HeadAndOtherMethods) {
  for (const auto& file : sv::host::embedded_files()) {
    HttpReply head = get("HEAD", "/" + std::string(file.name));
    EXPECT_EQ(head.status_line, "HTTP/1.1 200 OK");
    EXPECT_EQ(head.header_lines, asset_head(file.name, file.bytes.size())) << file.name;
    EXPECT_EQ(head.body, "") << file.name;
  }
  const auto* index = sv::host::find_embedded_file("index.html");
  for (std::string_view method : {"POST", "PUT", "DELETE"}) {
    HttpReply reply = get(method, "/index.html", "Content-Length: 5\r\n\r\nhello");
    EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK") << method;
    EXPECT_TRUE(reply.body == bytes_of(*index)) << method;
  }
}

TEST_F(StaticEmbedded, UnknownNamesAndCaseVariantsAreNotFound) {
  for (std::string_view target :
       {"/favicon.ico", "/INDEX.html", "/Index.html", "/index.htm", "/index.html/", "/assets",
        "/assets/", "/DOWNLOAD/Sorvendale.exe", "/download/sorvendale.exe", "/sorvendale.exe",
        "/SORVENDALE.EXE", "/download/Sorvendale.exe/", "/x/download/Sorvendale.exe",
        "/%69ndex.html", "/./index.html", "/assets/../index.html"}) {
    HttpReply reply = get("GET", target);
    EXPECT_EQ(reply.status_line, "HTTP/1.1 404 Not Found") << target;
    EXPECT_EQ(reply.header_lines, kNotFoundHead) << target;
    EXPECT_EQ(reply.body, "not found") << target;
  }
  HttpReply head = get("HEAD", "/favicon.ico");
  EXPECT_EQ(head.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(head.header_lines, kNotFoundHead);
  EXPECT_EQ(head.body, "not found");
}

TEST_F(StaticEmbedded, DownloadIsTheRunningBinaryUnderBothNames) {
  const std::string exe = read_file(sv::test::isolated_binary());
  ASSERT_GT(exe.size(), 8192u * 3) << "too small to cross chunk boundaries";
  for (std::string_view target :
       {"/download/Sorvendale.exe", "/Sorvendale.exe", "//Sorvendale.exe", "/Sorvendale.exe?x=1"}) {
    HttpReply reply = get("GET", target);
    EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK") << target;
    EXPECT_EQ(reply.header_lines, download_head(exe.size())) << target;
    EXPECT_TRUE(reply.body == exe) << target << ": " << reply.body.size() << " bytes";
  }
  HttpReply head = get("HEAD", "/download/Sorvendale.exe");
  EXPECT_EQ(head.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(head.header_lines, download_head(exe.size()));
  EXPECT_EQ(head.body, "");
}

TEST_F(StaticEmbedded, ConcurrentDownloadsDoNotInterfere) {
  const std::string exe = read_file(sv::test::isolated_binary());
  std::vector<std::future<std::string>> downloads;
  for (int i = 0; i < 4; ++i) {
    downloads.push_back(std::async(std::launch::async, [] {
      return split_reply(exchange(server_->port(), "GET /Sorvendale.exe HTTP/1.1\r\n\r\n")).body;
    }));
  }
  for (auto& d : downloads) EXPECT_TRUE(d.get() == exe);
}

}  // namespace
