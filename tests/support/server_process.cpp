#include "support/server_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace sv::test {
namespace {

constexpr std::string_view kBannerLast = "关闭这个窗口即可停止服务。\n";
constexpr std::string_view kUrlPrefix = "http://127.0.0.1:";

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

int decode_wait_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

std::filesystem::path make_temp_dir(const std::string& prefix) {
  std::string templ = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(templ.data()) == nullptr) return {};
  return templ;
}

ServerProcess::ServerProcess(ServerOptions options) {
  dir_ = make_temp_dir("sv-server");
  std::filesystem::path cwd = options.working_dir;
  if (cwd.empty()) {
    cwd = dir_ / "cwd";
    std::filesystem::create_directory(cwd);
  }
  std::vector<std::string> argv_text = options.command;
  if (argv_text.empty()) argv_text.push_back(SORVENDALE_BINARY);
  argv_text.insert(argv_text.end(), options.args.begin(), options.args.end());

  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string_view entry(*e);
    bool replaced = false;
    for (const auto& [name, value] : options.env) {
      if (entry.size() > name.size() && entry.substr(0, name.size()) == name &&
          entry[name.size()] == '=') {
        replaced = true;
      }
    }
    if (!replaced) env_text.emplace_back(entry);
  }
  for (const auto& [name, value] : options.env) env_text.push_back(name + "=" + value);

  // Everything the child needs is built before fork: only async-signal-safe calls follow.
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string out_path = (dir_ / "stdout").string();
  const std::string err_path = (dir_ / "stderr").string();
  const std::string cwd_text = cwd.string();
  int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int null_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);

  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    dup2(null_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (chdir(cwd_text.c_str()) != 0) _exit(126);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out_fd);
  close(err_fd);
  close(null_fd);
  if (pid_ < 0) return;

  const auto deadline = std::chrono::steady_clock::now() + options.ready_timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (stdout_text().find(kBannerLast) != std::string::npos) {
      ready_ = true;
      return;
    }
    if (!running()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0 && !exit_code_) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::uint16_t ServerProcess::port() const {
  const std::string out = stdout_text();
  const auto at = out.find(kUrlPrefix);
  if (at == std::string::npos) return 0;
  unsigned value = 0;
  for (std::size_t i = at + kUrlPrefix.size(); i < out.size() && out[i] >= '0' && out[i] <= '9';
       ++i) {
    value = value * 10 + static_cast<unsigned>(out[i] - '0');
    if (value > 65535) return 0;
  }
  return static_cast<std::uint16_t>(value);
}

std::string ServerProcess::stdout_text() const {
  return read_file(dir_ / "stdout");
}
std::string ServerProcess::stderr_text() const {
  return read_file(dir_ / "stderr");
}

bool ServerProcess::running() {
  if (pid_ <= 0 || exit_code_) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    exit_code_ = decode_wait_status(status);
    // Whatever the child left behind in its group (wine helpers, a browser opener) goes too.
    kill(-pid_, SIGKILL);
    return false;
  }
  return r == 0;
}

std::optional<int> ServerProcess::wait_exit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (running()) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return exit_code_;
}

std::uint16_t free_port() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  std::uint16_t port = 0;
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  close(fd);
  return port;
}

namespace {
struct IsolatedBinary {
  std::filesystem::path root;
  std::filesystem::path binary;
  IsolatedBinary() : root(make_temp_dir("sv-bin")) {
    // Four empty levels: the binary's folder and its three parents hold no "dist".
    std::filesystem::path dir = root / "a" / "b" / "c" / "d";
    std::filesystem::create_directories(dir);
    binary = dir / std::filesystem::path(SORVENDALE_BINARY).filename();
    std::filesystem::copy_file(SORVENDALE_BINARY, binary);
  }
  ~IsolatedBinary() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};
}  // namespace

const std::filesystem::path& isolated_binary() {
  static const IsolatedBinary copy;
  return copy.binary;
}

}  // namespace sv::test
