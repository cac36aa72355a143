#include "host/startup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "host/connection.h"
#include "host/connection_slots.h"
#include "host/options.h"
#include "platform/browser.h"
#include "platform/console.h"
#include "platform/executable_path.h"
#include "platform/memory.h"
#include "platform/path_text.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "printing/spooler.h"

namespace sv::host {
namespace {

constexpr int kBacklog = 128;

using platform::Stream;
using platform::write_line;

bool index_exists(const std::filesystem::path& dir) {
  std::error_code error;
  // Any existing entry counts, a folder included; only a failed query does not.
  const auto status = std::filesystem::status(dir / "index.html", error);
  return !error && std::filesystem::exists(status);
}

// After a failed accept (typically out of descriptors), wait this long before the next try
// and report at most one failure per kFailureReportGap, so the console is not flooded.
constexpr auto kAcceptRetryWait = std::chrono::milliseconds(50);
constexpr auto kFailureReportGap = std::chrono::seconds(1);

platform::Socket accept_next(platform::Listener& listener) {
  // Kept across calls: at the descriptor limit, accepts succeed and fail by turns.
  static std::optional<std::chrono::steady_clock::time_point> last_report;
  for (;;) {
    auto accepted = listener.accept();
    if (accepted) return std::move(accepted).value();
    const auto now = std::chrono::steady_clock::now();
    if (!last_report || now - *last_report >= kFailureReportGap) {
      write_line(Stream::kErr, "连接失败：" + accepted.error());
      last_report = now;
    }
    std::this_thread::sleep_for(kAcceptRetryWait);
  }
}

[[noreturn]] void accept_forever(platform::Listener& listener, const ServiceContext& service) {
  static ConnectionSlots slots(kMaxOpenConnections);
  for (;;) {
    slots.take();
    platform::Socket connection = accept_next(listener);
    Status spawned =
        platform::spawn_detached([connection = std::move(connection), &service]() mutable {
          (void)handle_connection(connection, service);
          connection.close();
          slots.give_back();
        });
    if (!spawned.ok()) {
      // Without threads the service cannot serve anyone; the only fatal error after start.
      write_line(Stream::kErr, "failed to spawn thread: " + spawned.message());
      std::fflush(nullptr);
      std::_Exit(1);
    }
  }
}

}  // namespace

std::vector<std::filesystem::path> frontend_dir_candidates(
    const std::optional<std::filesystem::path>& executable) {
  std::vector<std::filesystem::path> candidates;
  if (executable && executable->has_parent_path()) {
    std::filesystem::path base = executable->parent_path();
    for (int ups = 0; ups < 4; ++ups) {
      candidates.push_back(base / "dist");
      base /= "..";
    }
  }
  candidates.emplace_back("dist");
  return candidates;
}

std::optional<std::filesystem::path> find_frontend_dir() {
  for (auto& candidate : frontend_dir_candidates(platform::executable_path())) {
    if (index_exists(candidate)) return candidate;
  }
  return std::nullopt;
}

int run_service(std::span<const std::string> args) {
  platform::prepare_console();
  platform::share_one_heap_across_threads();
  Options options = parse_options(args);
  if (options.action == Action::help) {
    std::string text = usage_text();
    text.pop_back();  // write_line ends the last line
    write_line(Stream::kOut, text);
    return 0;
  }
  if (options.action == Action::version) {
    write_line(Stream::kOut, "Sorvendale " + std::string(kVersion));
    return 0;
  }
  if (!options.frontend_dir) options.frontend_dir = find_frontend_dir();
  if (options.frontend_dir && !index_exists(*options.frontend_dir)) {
    write_line(Stream::kErr,
               "找不到前端文件：" + platform::path_to_utf8(*options.frontend_dir / "index.html"));
    write_line(Stream::kErr, "请先执行 npm run build，或直接使用内嵌前端的便携版 exe。");
    return 1;
  }

  const std::string port_text = std::to_string(options.listen_port);
  const std::string url = "http://127.0.0.1:" + port_text + "/";

  platform::init_sockets();
  platform::BindFailure failure;
  auto listener = platform::Listener::bind_loopback(options.listen_port, kBacklog, &failure);
  if (!listener) {
    if (failure.address_in_use) {
      write_line(Stream::kErr, "端口 " + port_text + " 已被占用，Sorvendale 可能已经在运行。");
      if (options.open_browser) platform::launch_browser(url);
      return 0;
    }
    write_line(Stream::kErr, "端口 " + port_text + " 打不开：" + failure.system_error);
    return 1;
  }

  write_line(Stream::kOut, "Sorvendale 本地打印服务已启动： " + url);
  write_line(Stream::kOut, options.frontend_dir
                               ? "前端目录：" + platform::path_to_utf8(*options.frontend_dir)
                               : std::string("前端：内嵌（单文件便携版）"));
  const ServiceContext service{printing::system_spooler(), options.frontend_dir};
  auto printers = service.spooler.enumerate_printers();
  const std::size_t count = printers ? printers.value().size() : 0;
  write_line(Stream::kOut, "打印机：检测到 " + std::to_string(count) + " 台");
  // Why none were found, e.g. the print system itself did not answer; part of the banner, as
  // the service runs on and serves browser printing.
  if (!printers) write_line(Stream::kOut, printers.error());
  write_line(Stream::kOut, "关闭这个窗口即可停止服务。");

  if (options.open_browser) platform::launch_browser(url);
  accept_forever(listener.value(), service);
}

}  // namespace sv::host
