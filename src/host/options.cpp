#include "host/options.h"

#include "host/decimal.h"
#include "platform/path_text.h"

namespace sv::host {

std::optional<std::uint16_t> parse_port(std::string_view text) {
  const auto value = parse_decimal(text, 65535);
  if (!value) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
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
