#include <windows.h>

#include <string>

#include "platform/executable_path.h"

namespace sv::platform {

std::optional<std::filesystem::path> executable_path() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::nullopt;
    if (n < buf.size()) {
      buf.resize(n);
      return std::filesystem::path(buf);
    }
    // Truncated: long paths (\\?\ prefixed) can exceed MAX_PATH.
    if (buf.size() >= 32768) return std::nullopt;
    buf.resize(buf.size() * 2);
  }
}

bool is_windows_executable() {
  return true;
}

}  // namespace sv::platform
