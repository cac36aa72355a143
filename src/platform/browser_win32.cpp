#include <windows.h>

#include <string>

#include "platform/browser.h"
#include "platform/wide_text_win32.h"

namespace sv::platform {

void launch_browser(std::string_view url) {
  // The empty "" is start's window title; without it a quoted URL would become the title.
  std::wstring command = L"cmd /C start \"\" " + utf8_to_wide(url);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace sv::platform
