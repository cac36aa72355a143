// Runs the service (or any program) as a child process for integration tests.
//
//   sv::test::ServerProcess server({.args = {"--port", std::to_string(port), "--no-open"}});
//   ASSERT_TRUE(server.ready()) << server.stderr_text();
//   std::string reply = sv::test::exchange(server.port(), "GET /api/health HTTP/1.1\r\n\r\n");
//
// The child's standard output and error go to files in a private temporary folder, so the
// texts stay readable after the child exits. The destructor kills the child's whole process
// group (SIGKILL) and removes that folder. POSIX only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sv::test {

struct ServerOptions {
  // The program and its leading arguments, e.g. {"wine64", exe}. Empty means the Linux
  // service binary (SORVENDALE_BINARY).
  std::vector<std::string> command = {};
  // Appended after `command`.
  std::vector<std::string> args = {};
  // Working folder of the child. Empty means a fresh, empty temporary folder (so the
  // relative "dist" candidate is not found).
  std::filesystem::path working_dir = {};
  // Extra or replaced environment entries (name, value); the rest is inherited.
  std::vector<std::pair<std::string, std::string>> env = {};
  // How long the constructor waits for the banner's last line.
  std::chrono::milliseconds ready_timeout{15000};
};

class ServerProcess {
 public:
  // Starts the child and waits until the banner's last line ("关闭这个窗口即可停止服务。")
  // is on its standard output, the child exits, or ready_timeout passes.
  explicit ServerProcess(ServerOptions options);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // True when the child started and printed the whole banner.
  bool ready() const { return ready_; }
  // The port from banner line 1 ("...已启动： http://127.0.0.1:N/"); 0 before it appears.
  std::uint16_t port() const;
  pid_t pid() const { return pid_; }

  // Everything the child wrote so far, as raw bytes.
  std::string stdout_text() const;
  std::string stderr_text() const;

  // Waits for the child to end. Returns its exit code, 128+signal for a killed child, or
  // nothing when it is still running after `timeout`.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);
  // True while the child has not ended (reaps it if it has).
  bool running();

 private:
  std::filesystem::path dir_;
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
  bool ready_ = false;
};

// A loopback TCP port that was free a moment ago (bound to port 0, then released).
std::uint16_t free_port();

// A private copy of SORVENDALE_BINARY at a depth where none of its "dist" candidates
// (its folder and up to three parents) exist, made once per test process. Use it with a
// working_dir without "dist" to get the compiled-in frontend.
const std::filesystem::path& isolated_binary();

// A fresh empty folder under the system temporary folder; never removed automatically.
std::filesystem::path make_temp_dir(const std::string& prefix);

}  // namespace sv::test
