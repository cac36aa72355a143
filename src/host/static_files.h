// Every non-API request: the compiled-in designer files, a frontend folder on disk, or the
// running program's own file offered as "Sorvendale.exe".
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/socket.h"

namespace sv::host {

// Content type by the extension of the name's last component (exact, case-sensitive).
std::string_view content_type_for(std::string_view name);

// Writes exactly one reply for `path` (query already cut). An error means the connection
// is to be ended silently.
Status serve_static(platform::Socket& connection, std::string_view path, bool head_only,
                    const std::optional<std::filesystem::path>& frontend_dir);

// Folder mode: `name` (leading slashes already cut) under `frontend_dir`, refusing anything
// that resolves outside it.
Status serve_from_dir(platform::Socket& connection, const std::filesystem::path& frontend_dir,
                      std::string_view name, bool head_only);

}  // namespace sv::host
