// Entry point of the print service: hands the UTF-8 arguments to the service host.
#include <string>
#include <vector>

#include "host/startup.h"

#ifdef _WIN32
#include <windows.h>

// Wide arguments, so folder names outside the ANSI code page survive.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const int wide_len = static_cast<int>(wcslen(argv[i]));
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], wide_len, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], wide_len, arg.data(), n, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  return sv::host::run_service(args);
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return sv::host::run_service(args);
}
#endif
