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
      if (arg == "--help") options.action = Action::help;
      if (arg == "--version" && options.action != Action::help) options.action = Action::version;
      i += 1;
    }
  }
  return options;
}

std::string usage_text() {
  return "用法：sorvendale [--port 端口] [--dist 前端目录] [--no-open]\n"
         "  --port 端口      在 127.0.0.1 的这个端口上监听（默认 " +
         std::to_string(kDefaultPort) +
         "）\n"
         "  --dist 前端目录  从这个目录提供前端文件，不用内嵌的前端\n"
         "  --no-open        启动后不打开浏览器\n"
         "  --help           显示本说明并退出\n"
         "  --version        显示版本并退出\n";
}

}  // namespace sv::host
