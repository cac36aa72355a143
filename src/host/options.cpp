#include "host/options.h"

#include "platform/path_text.h"

namespace sv::host {

std::optional<std::uint16_t> parse_port(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

Options parse_options(std::span<const std::string> args) {
  Options options;
  for (std::size_t i = 0; i < args.size();) {
    const std::string& arg = args[i];
    const bool has_next = i + 1 < args.size();
    if (arg == "--port") {
      if (has_next) {
        if (auto port = parse_port(args[i + 1])) options.listen_port = *port;
      }
      i += 2;
    } else if (arg == "--dist") {
      if (has_next) {
        options.frontend_dir = platform::path_from_utf8(args[i + 1]);
      } else {
        options.frontend_dir.reset();
      }
      i += 2;
    } else {
      if (arg == "--no-open") options.open_browser = false;
      i += 1;
    }
  }
  return options;
}

}  // namespace sv::host
