// Paths as UTF-8 text and back. std::filesystem::path built from a plain std::string reads
// it in the Windows ANSI code page, which garbles non-ASCII folder names; these go through
// char8_t so UTF-8 holds on every system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sv::platform {

inline std::string path_to_utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path path_from_utf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace sv::platform
