// print_sheet at memory speed: a ~16 MiB dry-run body against the same bytes posted to a
// static path (pure transfer), and the in-process decode + job against a plain memcpy.
//
//   cmake --build build --target print_sheet_bench && build/print_sheet_bench [runs]
//
// Goals: print median <= 1.15 x transfer median; the peak RSS the job adds <= 1.0 x body size
// (the body is decoded as it arrives and never held whole).
// POSIX only (fork/exec, /proc).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "printing/api_json.h"
#include "printing/print_job.h"
#include "printing/spooler.h"

// Peak resident memory of a process, in KiB (-1 when unreadable).
long vm_hwm_kib(pid_t pid);

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::uint32_t kWidthDots = 4096;  // 512 bytes per row
constexpr std::uint32_t kHeightDots = 24400;
constexpr std::size_t kChunk = 64 * 1024;  // what one socket read usually brings

double ms_since(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string make_body() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::size_t raster = std::size_t{kWidthDots / 8} * kHeightDots;
  std::string b64;
  b64.reserve(raster / 3 * 4 + 4);
  std::uint32_t seed = 1;
  for (std::size_t i = 0; i < raster; i += 3) {
    seed = seed * 1664525u + 1013904223u;
    const std::uint32_t v = seed >> 8;
    const std::size_t n = std::min<std::size_t>(3, raster - i);
    for (std::size_t k = 0; k < 4; ++k) b64 += k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return R"({"request":{"printer":"Bench","width_mm":500,"height_mm":2000,"width_dots":)" +
         std::to_string(kWidthDots) + R"(,"height_dots":)" + std::to_string(kHeightDots) +
         R"(,"gap_mm":2,"density":8,"speed":4,"copies":1,"tear":false,"dry_run":true,)"
         R"("data_b64":")" +
         b64 + "\"}}";
}

class NullSpooler final : public sv::printing::Spooler {
 public:
  sv::Status submit_raw_job(const std::string&, std::string_view) override {
    return sv::Error{"dry runs never submit"};
  }
  sv::Result<std::vector<sv::printing::PrinterInfo>> enumerate_printers() override {
    return std::vector<sv::printing::PrinterInfo>{};
  }
  sv::Result<sv::printing::PrinterStatus> printer_status(const std::string&) override {
    return sv::Error{"no printers here"};
  }
  sv::Result<std::uint32_t> cancel_jobs(const std::string&) override {
    return sv::Error{"no printers here"};
  }
};

void in_process(const std::string& body, int runs) {
  std::vector<double> decode, job, copy;
  NullSpooler spooler;
  std::string target(body.size(), '\0');
  for (int i = 0; i < runs; ++i) {
    auto t = Clock::now();
    std::memcpy(target.data(), body.data(), body.size());
    copy.push_back(ms_since(t));

    t = Clock::now();
    auto request = sv::printing::decode_print_body(body);
    decode.push_back(ms_since(t));
    if (!request) {
      std::fprintf(stderr, "decode failed: %s\n", request.error().c_str());
      std::exit(1);
    }
    t = Clock::now();
    auto reply = sv::printing::run_print_job(std::move(request).value(), spooler);
    job.push_back(ms_since(t));
    if (!reply) {
      std::fprintf(stderr, "job failed: %s\n", reply.error().c_str());
      std::exit(1);
    }
  }
  const double c = median(copy), d = median(decode), j = median(job);
  std::printf(
      "in process (median of %d): memcpy %.2f ms, decode %.2f ms (%.2fx memcpy), "
      "job %.2f ms, decode+job %.2f ms (%.2fx memcpy)\n",
      runs, c, d, d / c, j, d + j, (d + j) / c);
  // The service's own path: the body fed in socket-sized chunks, decoded as it comes.
  std::vector<double> streamed;
  for (int i = 0; i < runs; ++i) {
    const auto t = Clock::now();
    sv::printing::PrintBodyStream stream(body.size());
    for (std::size_t at = 0; at < body.size(); at += kChunk) {
      stream.feed(std::string_view(body).substr(at, kChunk));
    }
    auto reply = sv::printing::run_streamed_print_job(stream.finish().value(), spooler);
    streamed.push_back(ms_since(t));
    if (!reply) {
      std::fprintf(stderr, "streamed job failed: %s\n", reply.error().c_str());
      std::exit(1);
    }
  }
  const double s = median(streamed);
  std::printf("streamed in %zu KiB chunks: %.2f ms (%.2fx memcpy)\n", kChunk / 1024, s, s / c);
}

std::uint16_t free_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

int connect_to(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// One request on its own connection; returns the whole reply.
std::string exchange(std::uint16_t port, const std::string& head, const std::string& body) {
  const int fd = connect_to(port);
  if (fd < 0) return "";
  for (const std::string* part : {&head, &body}) {
    std::size_t sent = 0;
    while (sent < part->size()) {
      const ssize_t n = ::send(fd, part->data() + sent, part->size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
  }
  std::string reply;
  char buf[65536];
  ssize_t n;
  while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return reply;
}

}  // namespace

// CPU time a process (all its threads, ended ones included) has used so far, in ms.
double cpu_ms(pid_t pid) {
  clockid_t clock;
  timespec t{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0) return 0;
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

long vm_hwm_kib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 11;
  const std::string body = make_body();
  std::printf("body: %zu bytes (raster %u x %u dots)\n", body.size(), kWidthDots, kHeightDots);
  in_process(body, runs);

  const fs::path dist =
      fs::temp_directory_path() / ("print_sheet_bench." + std::to_string(getpid()));
  fs::create_directories(dist);
  std::ofstream(dist / "index.html") << "<!doctype html><title>bench</title>";

  const std::uint16_t port = free_port();
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string port_text = std::to_string(port), dist_text = dist.string();
    std::freopen("/dev/null", "w", stdout);
    execl(SORVENDALE_BINARY, SORVENDALE_BINARY, "--port", port_text.c_str(), "--dist",
          dist_text.c_str(), "--no-open", static_cast<char*>(nullptr));
    _exit(127);
  }
  bool up = false;
  for (int i = 0; i < 200 && !up; ++i) {
    const int fd = connect_to(port);
    if (fd >= 0) {
      ::close(fd);
      up = true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  if (!up) {
    std::fprintf(stderr, "service did not start on port %u\n", port);
    kill(pid, SIGKILL);
    return 1;
  }
  const auto head = [&](const char* path) {
    return std::string("POST ") + path +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
           "Content-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n";
  };
  const std::string print_head = head("/api/print_sheet");
  // No such file: the static server reads the whole body, then answers 404.
  const std::string static_head = head("/missing.bin");

  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const long hwm_start = vm_hwm_kib(pid);
  std::vector<double> transfer, print;
  double transfer_cpu = 0, print_cpu = 0, transfer_client = 0, print_client = 0;
  std::string first_print;
  // Transfers alone first, for the memory they need; then both alternately for the times, so
  // that load from elsewhere on the machine falls on both alike.
  for (int i = 0; i < 3; ++i) {
    const std::string r = exchange(port, static_head, body);
    if (i == 0) std::printf("static reply: %.*s\n", int(r.find("\r\n")), r.c_str());
  }
  const long hwm_static = vm_hwm_kib(pid);
  for (int i = 0; i < runs; ++i) {
    double c = cpu_ms(pid), own = cpu_ms(getpid());
    auto t = Clock::now();
    exchange(port, static_head, body);
    transfer.push_back(ms_since(t));
    transfer_cpu += cpu_ms(pid) - c;
    transfer_client += cpu_ms(getpid()) - own;
    c = cpu_ms(pid);
    own = cpu_ms(getpid());
    t = Clock::now();
    const std::string r = exchange(port, print_head, body);
    print.push_back(ms_since(t));
    print_cpu += cpu_ms(pid) - c;
    print_client += cpu_ms(getpid()) - own;
    if (i == 0) first_print = r;
  }
  const long hwm_print = vm_hwm_kib(pid);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  fs::remove_all(dist);

  const std::size_t body_at = first_print.find("\r\n\r\n");
  std::printf("print reply: %.*s %s\n", int(first_print.find("\r\n")), first_print.c_str(),
              body_at == std::string::npos ? "" : first_print.c_str() + body_at + 4);
  const double tm = median(transfer), pm = median(print);
  std::printf(
      "over loopback (median of %d): transfer %.2f ms, print_sheet %.2f ms, ratio %.2fx "
      "(goal <= 1.15x)\n",
      runs, tm, pm, pm / tm);
  std::printf(
      "CPU per request (mean): service %.1f ms for a transfer, %.1f ms for a print; "
      "this client %.1f / %.1f ms\n",
      transfer_cpu / runs, print_cpu / runs, transfer_client / runs, print_client / runs);
  const double body_mib = double(body.size()) / (1 << 20);
  const auto mib = [](long kib) { return static_cast<double>(kib) / 1024.0; };
  std::printf("server VmHWM: start %.1f MiB, after transfers %.1f MiB, after prints %.1f MiB\n",
              mib(hwm_start), mib(hwm_static), mib(hwm_print));
  std::printf(
      "peak RSS added by the job over pure transfer: %.1f MiB; over start: %.1f MiB "
      "= %.2fx body (goal <= 1.0x)\n",
      mib(hwm_print - hwm_static), mib(hwm_print - hwm_start),
      mib(hwm_print - hwm_start) / body_mib);
  return 0;
}
