#include "support/cups_fixture.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sv::test {
namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Starts `args` with stdout and stderr going to `output_fd` (or /dev/null when -1).
pid_t spawn(const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& env, int output_fd) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setpgid(0, 0);
  const int out = output_fd >= 0 ? output_fd : open("/dev/null", O_WRONLY);
  dup2(out, STDOUT_FILENO);
  dup2(out, STDERR_FILENO);
  const int in = open("/dev/null", O_RDONLY);
  dup2(in, STDIN_FILENO);
  for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

int exit_code_of(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ToolResult run_tool(const std::vector<std::string>& args,
                    const std::vector<std::pair<std::string, std::string>>& env) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = spawn(args, env, fds[1]);
  close(fds[1]);
  ToolResult result;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) result.output.append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (pid < 0) return result;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = exit_code_of(status);
  return result;
}

// ---- Print-job helpers ----

std::string SheetJob::raster() const {
  const std::size_t size = std::size_t{(width_dots + 7) / 8} * height_dots;
  std::string out(size, '\0');
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<char>(x >> 24);
  }
  const char special[] = {'\r', '\n', '\0', '\xFF', '='};
  for (std::size_t i = 0; i < sizeof special && i < size; ++i) out[i * (size / 5)] = special[i];
  return out;
}

namespace {
std::string base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const auto v = (std::uint32_t(std::uint8_t(bytes[i])) << 16) |
                   (std::uint32_t(std::uint8_t(bytes[i + 1])) << 8) | std::uint8_t(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out.push_back(kAlphabet[(v >> k) & 63]);
  }
  if (i < bytes.size()) {
    std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) v |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}
}  // namespace

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string SheetJob::body() const {
  return "{\"request\":{\"printer\":" + json_string(printer) +
         ",\"width_mm\":40,\"height_mm\":30,\"width_dots\":" + std::to_string(width_dots) +
         ",\"height_dots\":" + std::to_string(height_dots) +
         ",\"gap_mm\":2,\"density\":8,\"speed\":4,\"copies\":1,\"tear\":false,\"data_b64\":\"" +
         base64(raster()) + "\"}}";
}

std::string SheetJob::expected_stream() const {
  return "SIZE 40 mm, 30 mm\r\nGAP 2 mm, 0 mm\r\nDIRECTION 1\r\nREFERENCE 0,0\r\nSHIFT 0\r\n"
         "SET TEAR OFF\r\nDENSITY 8\r\nSPEED 4\r\nCLS\r\nBITMAP 0,0," +
         std::to_string((width_dots + 7) / 8) + "," + std::to_string(height_dots) + ",0," +
         raster() + "\r\nPRINT 1,1\r\n";
}

std::string api_post(const std::string& command, const std::string& body) {
  return "POST /api/" + command +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// ---- RecordingPrinter ----

RecordingPrinter::RecordingPrinter() {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listen_fd_, 16) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      pipe2(wake_pipe_, O_CLOEXEC) != 0) {
    return;
  }
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { serve(); });
}

RecordingPrinter::~RecordingPrinter() {
  if (wake_pipe_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] const auto ignored = write(wake_pipe_[1], &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (int fd : {listen_fd_, wake_pipe_[0], wake_pipe_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void RecordingPrinter::serve() {
  // One connection at a time, as a simple network printer does; CUPS sends one job per
  // connection and queues the rest.
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const int conn = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) continue;
    std::string job;
    char buf[65536];
    for (;;) {
      pollfd cfds[2] = {{conn, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
      if (poll(cfds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (cfds[1].revents != 0) {
        close(conn);
        return;
      }
      // A slow printer takes a tenth of its rate, then waits a tenth of a second.
      const std::size_t rate = read_rate_;
      const std::size_t want = rate == 0 ? sizeof buf : std::min(sizeof buf, rate / 10 + 1);
      const ssize_t n = read(conn, buf, want);
      if (rate != 0 && n > 0) {
        pollfd wake = {wake_pipe_[0], POLLIN, 0};
        poll(&wake, 1, 100);
      }
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      job.append(buf, static_cast<std::size_t>(n));
    }
    close(conn);
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
  }
}

std::vector<std::string> RecordingPrinter::wait_for_jobs(std::size_t count,
                                                         std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return jobs_.size() >= count; });
  return jobs_;
}

std::vector<std::string> RecordingPrinter::jobs() {
  std::lock_guard lock(mutex_);
  return jobs_;
}

// ---- CupsServer ----

CupsServer::CupsServer() {
  // Short: the Unix socket path must fit in sockaddr_un.
  char pattern[] = "/tmp/svcups-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return;
  dir_ = pattern;
  // cupsd runs backends as user lp, which must reach the spool folder below.
  chmod(dir_.c_str(), 0755);
  for (const char* sub : {"spool", "cache", "state", "tmp", "log", "client"}) {
    fs::create_directory(dir_ / sub);
  }
  socket_ = (dir_ / "cups.sock").string();
  write_text(dir_ / "cupsd.conf",
             "LogLevel warn\n"
             "Listen " +
                 socket_ +
                 "\n"
                 "Browsing Off\n"
                 "WebInterface No\n"
                 "DefaultAuthType None\n"
                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                 "<Policy default>\n"
                 "  JobPrivateAccess all\n  JobPrivateValues none\n"
                 "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
                 "  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
                 "</Policy>\n");
  const std::string d = dir_.string();
  write_text(dir_ / "cups-files.conf", "ServerRoot " + d + "\nRequestRoot " + d +
                                           "/spool\nCacheDir " + d + "/cache\nStateDir " + d +
                                           "/state\nTempDir " + d + "/tmp\nErrorLog " + d +
                                           "/log/error_log\nAccessLog " + d +
                                           "/log/access_log\nPageLog " + d + "/log/page_log\n");
  start();
}

CupsServer::~CupsServer() {
  stop();
  std::error_code ignored;
  if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

std::vector<std::pair<std::string, std::string>> CupsServer::client_env() const {
  // libcups reads and lpoptions writes $HOME/.cups/lpoptions; keep it out of the real home.
  return {{"CUPS_SERVER", socket_},
          {"CUPS_SERVERROOT", client_root().string()},
          {"HOME", client_root().string()}};
}

bool CupsServer::start() {
  if (dir_.empty()) return false;
  if (pid_ > 0) return true;
  const int out = open((dir_ / "log" / "console").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  pid_ = spawn({"/usr/sbin/cupsd", "-f", "-c", (dir_ / "cupsd.conf").string(), "-s",
                (dir_ / "cups-files.conf").string()},
               {}, out);
  if (out >= 0) close(out);
  if (pid_ <= 0 || !wait_ready(std::chrono::seconds(20))) {
    stop();
    return false;
  }
  return true;
}

bool CupsServer::wait_ready(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    const ToolResult r = run_tool({"lpstat", "-h", socket_, "-r"});
    if (r.exit_code == 0 && r.output.find("scheduler is running") != std::string::npos) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void CupsServer::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string CupsServer::log() const {
  return read_text(dir_ / "log" / "error_log") + read_text(dir_ / "log" / "console");
}

std::string CupsServer::add_raw_queue(const std::string& name, std::uint16_t port) {
  return lpadmin({"-p", name, "-E", "-v", "socket://127.0.0.1:" + std::to_string(port)});
}

std::string CupsServer::lpadmin(const std::vector<std::string>& args) {
  std::vector<std::string> cmd = {"lpadmin", "-h", socket_};
  cmd.insert(cmd.end(), args.begin(), args.end());
  const ToolResult r = run_tool(cmd);
  if (r.exit_code == 0) return "";
  return "lpadmin failed (" + std::to_string(r.exit_code) + "): " + r.output;
}

std::string CupsServer::lpoptions(const std::vector<std::string>& args) {
  std::vector<std::string> cmd = {"lpoptions", "-h", socket_};
  cmd.insert(cmd.end(), args.begin(), args.end());
  const ToolResult r = run_tool(cmd, client_env());
  if (r.exit_code == 0) return "";
  return "lpoptions failed (" + std::to_string(r.exit_code) + "): " + r.output;
}

std::vector<std::string> CupsServer::queues() {
  const ToolResult r = run_tool({"lpstat", "-h", socket_, "-e"});
  std::vector<std::string> out;
  if (r.exit_code != 0) return out;  // "No destinations added."
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);) {
    // Instances (queue/instance) live in lpoptions, not on the server.
    if (!line.empty() && line.find('/') == std::string::npos) out.push_back(line);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> CupsServer::completed_jobs(
    const std::string& queue, std::size_t count) {
  std::vector<std::pair<std::string, std::string>> out;
  http_t* http = httpConnect2(socket_.c_str(), ippPort(), nullptr, AF_UNSPEC,
                              HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
  if (http == nullptr) return out;
  for (int attempt = 0; attempt < 200; ++attempt) {
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(http, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_COMPLETED);
    out.clear();
    for (int i = 0; i < n; ++i) {
      out.emplace_back(jobs[i].title != nullptr ? jobs[i].title : "",
                       jobs[i].format != nullptr ? jobs[i].format : "");
    }
    cupsFreeJobs(n, jobs);
    if (out.size() >= count) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  httpClose(http);
  return out;
}

std::size_t CupsServer::pending_jobs() {
  const ToolResult r = run_tool({"lpstat", "-h", socket_, "-o"});
  std::size_t count = 0;
  if (r.exit_code != 0) return count;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) ++count;
  }
  return count;
}

}  // namespace sv::test
