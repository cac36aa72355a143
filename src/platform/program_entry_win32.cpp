#include <windows.h>

#include "platform/program_entry.h"
#include "platform/wide_text_win32.h"

#include <utility>

// Linked with -municode: the wide arguments keep folder names outside the ANSI code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(sv::platform::wide_to_utf8(argv[i]));
  return sv::platform::program_main(std::move(args));
}
