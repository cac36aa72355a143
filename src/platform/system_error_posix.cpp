#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace sv::platform {

std::string system_error_text(int code) {
  char buf[256] = {};
  // The GNU strerror_r may return a static string instead of filling buf.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  const char* text = strerror_r(code, buf, sizeof buf);
#else
  const char* text = strerror_r(code, buf, sizeof buf) == 0 ? buf : "Unknown error";
#endif
  return std::string(text) + " (os error " + std::to_string(code) + ")";
}

std::string last_system_error_text() {
  return system_error_text(errno);
}

}  // namespace sv::platform
