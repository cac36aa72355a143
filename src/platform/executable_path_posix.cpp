#include "platform/executable_path.h"

namespace sv::platform {

std::optional<std::filesystem::path> executable_path() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || path.empty()) return std::nullopt;
  return path;
}

bool is_windows_executable() {
  return false;
}

}  // namespace sv::platform
