// The service process: console, options, frontend folder, listener, banner, accept loop.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sv::host {

// The folders searched for a built frontend, in order: "dist" beside the executable and
// beside its first three parents (".." kept as written), then "dist" in the working folder.
// The first four are left out without an executable path or when it has no parent.
std::vector<std::filesystem::path> frontend_dir_candidates(
    const std::optional<std::filesystem::path>& executable);

// The first candidate holding an "index.html" entry, or nothing.
std::optional<std::filesystem::path> find_frontend_dir();

// Runs the service with the UTF-8 arguments after the program name. Returns only when it
// does not start: 0 when the port is taken, 1 on any other start-up failure.
int run_service(std::span<const std::string> args);

}  // namespace sv::host
