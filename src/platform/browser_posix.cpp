#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/browser.h"

extern char** environ;

namespace sv::platform {
namespace {

bool has_display() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

void launch_browser(std::string_view url) {
  // Without a graphical session xdg-open would fall back to a text browser on our console.
  if (!has_display()) return;
  // The shell puts xdg-open in the background and ends at once, so the wait below is short
  // and leaves no zombie; the browser itself is never waited for.
  std::string script = "xdg-open \"$1\" >/dev/null 2>&1 &";
  std::string name = "sh";
  std::string arg0 = "sorvendale-open";
  std::string target(url);
  char* argv[] = {name.data(), const_cast<char*>("-c"), script.data(),
                  arg0.data(), target.data(),           nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "sh", nullptr, nullptr, argv, environ) != 0) return;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace sv::platform
