// The system error text: the operating system's message for an error code followed by
// " (os error N)". Implemented once per OS (strerror, FormatMessageW).
#pragma once

#include <string>

namespace sv::platform {

// The text for `code` (errno on POSIX, a GetLastError/WSAGetLastError code on Windows).
std::string system_error_text(int code);
// The text for the calling thread's last error (errno / GetLastError).
std::string last_system_error_text();

}  // namespace sv::platform
