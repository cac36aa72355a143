// Folder mode (--dist): what may leave the folder, and how names decide type and cache policy.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/static_files.h"
#include "platform/socket.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

namespace fs = std::filesystem;
using sv::test::HttpReply;
using sv::test::split_reply;

constexpr std::string_view kLongCache = "public, max-age=31536000, immutable";

void write_file(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// <tmp>/site is served; <tmp>/secret.txt and <tmp>/site-old/ lie beside it, outside.
struct Site {
  fs::path base = sv::test::make_temp_dir("sv-static-folder");
  fs::path root = base / "site";

  Site() {
    write_file(root / "index.html", "<!doctype html><title>folder</title>");
    write_file(root / "assets" / "app.js", "console.log(1);");
    write_file(root / "assets" / "app.js.map", "{\"version\":3}");
    write_file(root / "img.PNG", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    write_file(root / "sub" / "index.html", "<p>sub</p>");
    write_file(root / "Sorvendale.exe", "not the program");
    write_file(base / "secret.txt", "outside");
    write_file(base / "site-old" / "x.txt", "sibling with the root as text prefix");
    fs::create_symlink(base / "secret.txt", root / "leak.txt");
    fs::create_symlink(root / "assets" / "app.js", root / "alias.js");
  }
  ~Site() {
    std::error_code ignored;
    fs::remove_all(base, ignored);
  }
};

std::string header(const HttpReply& reply, std::string_view name) {
  return sv::test::header_value(reply, name).value_or("<none>");
}

class StaticFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<sv::test::ServerProcess>(
        sv::test::ServerOptions{.args = {"--port", std::to_string(sv::test::free_port()),
                                         "--no-open", "--dist", site_.root.string()}});
    ASSERT_TRUE(server_->ready()) << server_->stderr_text();
  }
  HttpReply get(std::string_view target, std::string_view method = "GET") {
    return split_reply(sv::test::exchange(
        server_->port(), std::string(method) + " " + std::string(target) + " HTTP/1.1\r\n\r\n"));
  }
  void expect_not_found(std::string_view target) {
    HttpReply reply = get(target);
    EXPECT_EQ(reply.status_line, "HTTP/1.1 404 Not Found") << target;
    EXPECT_EQ(reply.body, "not found") << target;
    EXPECT_EQ(header(reply, "Access-Control-Allow-Origin"), "*") << target;
  }

  Site site_;
  std::unique_ptr<sv::test::ServerProcess> server_;
};

TEST_F(StaticFolder, ServesFolderFilesWithTypeAndPolicyOfTheName) {
  struct Case {
    std::string_view target;
    fs::path file;
    std::string_view type;
    std::string_view cache;
  };
  const Case cases[] = {
      {"/", "index.html", "text/html; charset=utf-8", "no-store"},
      {"/index.html?v=2", "index.html", "text/html; charset=utf-8", "no-store"},
      {"/assets/app.js", "assets/app.js", "text/javascript; charset=utf-8", kLongCache},
      {"/assets/app.js.map", "assets/app.js.map", "application/json", kLongCache},
      {"/img.PNG", "img.PNG", "application/octet-stream", kLongCache},
      // Only the exact name "index.html" is kept out of caches.
      {"/sub/index.html", "sub/index.html", "text/html; charset=utf-8", kLongCache},
      // ".." that stays inside is served, under the name as requested.
      {"/assets/../index.html", "index.html", "text/html; charset=utf-8", kLongCache},
      {"/sub/../assets/./app.js", "assets/app.js", "text/javascript; charset=utf-8", kLongCache},
      // A link is judged by where it leads.
      {"/alias.js", "assets/app.js", "text/javascript; charset=utf-8", kLongCache},
  };
  for (const Case& c : cases) {
    HttpReply reply = get(c.target);
    const std::string expected = read_file(site_.root / c.file);
    EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK") << c.target;
    const std::vector<std::string> head = {"Content-Type: " + std::string(c.type),
                                           "Content-Length: " + std::to_string(expected.size()),
                                           "Cache-Control: " + std::string(c.cache),
                                           "X-Content-Type-Options: nosniff",
                                           "Access-Control-Allow-Origin: *",
                                           "Connection: close"};
    EXPECT_EQ(reply.header_lines, head) << c.target;
    EXPECT_EQ(reply.body, expected) << c.target;
  }
  HttpReply head = get("/assets/app.js", "HEAD");
  EXPECT_EQ(header(head, "Content-Length"), "15");
  EXPECT_EQ(head.body, "");
}

TEST_F(StaticFolder, NothingOutsideTheFolderNorAFolder) {
  const std::string outside = site_.base.string();
  for (const std::string& target : {
           std::string("/../secret.txt"),
           std::string("/assets/../../secret.txt"),
           std::string("/../site-old/x.txt"),  // shares the root's text as a prefix
           std::string("/leak.txt"),           // a link that points outside
           "/" + outside + "/secret.txt",      // slashes stripped: relative, nothing there
           "//" + outside + "/secret.txt",
           std::string("/assets"),
           std::string("/assets/"),
           std::string("/sub"),
           std::string("/missing.js"),
           std::string("/favicon.ico"),
       }) {
    expect_not_found(target);
  }
}

TEST_F(StaticFolder, DownloadWinsOverAFileOfThatName) {
  HttpReply reply = get("/Sorvendale.exe");
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(header(reply, "Content-Type"), "application/octet-stream");
  EXPECT_TRUE(reply.body == read_file(SORVENDALE_BINARY));
}

TEST_F(StaticFolder, DeletedFolderGivesNotFoundWithoutFallback) {
  ASSERT_EQ(get("/").status_line, "HTTP/1.1 200 OK");
  fs::remove_all(site_.root);
  for (std::string_view target : {"/", "/index.html", "/assets/app.js"}) expect_not_found(target);
}

// The worker called directly, for names that no HTTP path on this system can produce.
class StaticFromDir : public ::testing::Test {
 protected:
  // Runs `serve` on one end of a socket pair and returns what arrived at the other.
  template <class Serve>
  static std::string reply_of(Serve serve) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return "socketpair failed";
    {
      sv::platform::Socket connection(fds[0]);
      EXPECT_TRUE(serve(connection).ok());
    }
    std::string received;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[1], buffer, sizeof buffer)) > 0) received.append(buffer, got);
    close(fds[1]);
    return received;
  }

  Site site_;
};

TEST_F(StaticFromDir, AbsoluteNamesAreJudgedByContainment) {
  const std::string outside = (site_.base / "secret.txt").string();
  HttpReply refused = split_reply(reply_of([&](sv::platform::Socket& connection) {
    return sv::host::serve_from_dir(connection, site_.root, outside, false);
  }));
  EXPECT_EQ(refused.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(refused.body, "not found");

  const std::string inside = (site_.root / "assets" / "app.js").string();
  HttpReply served = split_reply(reply_of([&](sv::platform::Socket& connection) {
    return sv::host::serve_from_dir(connection, site_.root, inside, false);
  }));
  EXPECT_EQ(served.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(served.body, "console.log(1);");
}

TEST_F(StaticFromDir, UncanonicalRootStillConfines) {
  // A root given with ".." and a trailing separator: canonicalised before the test.
  const fs::path winding = site_.base / "site-old" / ".." / "site" / "";
  HttpReply served = split_reply(reply_of([&](sv::platform::Socket& connection) {
    return sv::host::serve_from_dir(connection, winding, "index.html", true);
  }));
  EXPECT_EQ(served.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(served.body, "");
  HttpReply refused = split_reply(reply_of([&](sv::platform::Socket& connection) {
    return sv::host::serve_from_dir(connection, winding, "../site-old/x.txt", false);
  }));
  EXPECT_EQ(refused.status_line, "HTTP/1.1 404 Not Found");
}

}  // namespace
