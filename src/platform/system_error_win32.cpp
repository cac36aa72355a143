#include <windows.h>

#include "platform/system_error.h"
#include "platform/wide_text_win32.h"

namespace sv::platform {

std::string system_error_text(int code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
  std::wstring message;
  if (n != 0 && buf != nullptr) message.assign(buf, n);
  if (buf != nullptr) LocalFree(buf);
  // System messages end with a line break; the console line must stay one line.
  while (!message.empty() &&
         (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  std::string text = message.empty() ? "Unknown error" : wide_to_utf8(message);
  return text + " (os error " + std::to_string(code) + ")";
}

std::string last_system_error_text() {
  return system_error_text(static_cast<int>(GetLastError()));
}

}  // namespace sv::platform
