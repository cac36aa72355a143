// Reaching the system's print service (cupsd, the Windows spooler service): a refused or reset
// connection is tried again a few times, then named as the print service's fault, so the
// user is not told that a printer is missing when the whole print system is down or busy.
#pragma once

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>

namespace sv::printing {

// The waits before each further attempt: about 1.5 s in all, enough for a busy scheduler or a
// restarting one, short enough that the designer still answers promptly.
inline constexpr std::array<std::chrono::milliseconds, 4> kReconnectWaits = {
    std::chrono::milliseconds(100), std::chrono::milliseconds(200), std::chrono::milliseconds(400),
    std::chrono::milliseconds(800)};

// "无法连接系统打印服务（{service}）：{reason}".
inline std::string unreachable_message(std::string_view service, std::string_view reason) {
  std::string message = "无法连接系统打印服务（";
  message += service;
  message += "）：";
  message += reason;
  return message;
}

// Runs `attempt()` until `unreachable()`, asked right after it, is false or the waits are used
// up; returns the last attempt's result.
template <typename Attempt, typename Unreachable>
auto retry_unreachable(Attempt attempt, Unreachable unreachable) {
  auto result = attempt();
  for (const auto wait : kReconnectWaits) {
    if (!unreachable()) break;
    std::this_thread::sleep_for(wait);
    result = attempt();
  }
  return result;
}

}  // namespace sv::printing
