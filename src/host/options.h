// The service's command line: "--port N", "--dist FOLDER", "--no-open", "--help", "--version".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sv::host {

inline constexpr std::uint16_t kDefaultPort = 17890;

// The program's version, from package.json (one number for the designer and the service).
inline constexpr std::string_view kVersion = SORVENDALE_VERSION;

// What the process does: serve, or print one text and exit with 0.
enum class Action { serve, help, version };

struct Options {
  Action action = Action::serve;
  std::uint16_t listen_port = kDefaultPort;
  bool open_browser = true;
  // Absent: the compiled-in frontend (unless a "dist" folder is found at start).
  std::optional<std::filesystem::path> frontend_dir;
};

// An optional single "+", then one or more ASCII digits, at most 65535.
std::optional<std::uint16_t> parse_port(std::string_view text);

// `args` are the UTF-8 arguments after the program name. Matching is exact; a later option
// overrides an earlier one; unknown arguments are ignored. "--port" and "--dist" always
// consume the next argument, whatever it is. "--help" wins over "--version" wherever each
// stands, and both over serving.
Options parse_options(std::span<const std::string> args);

// The text "--help" prints, each line ended by a line feed.
std::string usage_text();

}  // namespace sv::host
