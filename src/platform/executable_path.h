// The running program's own file. Implemented once per OS (/proc/self/exe,
// GetModuleFileNameW).
#pragma once

#include <filesystem>
#include <optional>

namespace sv::platform {

// Full path of the running executable; nothing when the system cannot tell.
std::optional<std::filesystem::path> executable_path();

// True when the running program is a Windows executable (a PE file).
bool is_windows_executable();

}  // namespace sv::platform
