#include <windows.h>

#include <mutex>
#include <string>

#include "platform/console.h"
#include "platform/wide_text_win32.h"

namespace sv::platform {

void prepare_console() {
  SetConsoleOutputCP(65001);
  SetConsoleCP(65001);
  SetConsoleTitleW(L"Sorvendale 本地打印服务");
}

void write_line(Stream stream, std::string_view utf8_text) {
  static std::mutex mutex;
  HANDLE handle = GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  std::lock_guard<std::mutex> lock(mutex);
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    // A real console: UTF-16 shows the Chinese text whatever code page the console has.
    std::wstring wide = utf8_to_wide(utf8_text);
    wide.push_back(L'\n');
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // A pipe or file: the UTF-8 bytes as they are, with a bare line feed.
  std::string line(utf8_text);
  line.push_back('\n');
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
      return;
    }
    data += written;
    left -= written;
  }
}

}  // namespace sv::platform
