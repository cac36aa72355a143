// The service's console: UTF-8 code pages, the window title, and line output.
// Implemented once per OS (console_posix.cpp, console_win32.cpp).
#pragma once

#include <string_view>

namespace sv::platform {

// Sets the console to UTF-8 (code page 65001 for output and input) and its title. Every
// failure (no console, refused code page) is ignored. Call once, before any output.
void prepare_console();

enum class Stream { kOut, kErr };

// Writes `utf8_text` followed by one line feed and flushes. On a Windows console the text
// goes out as UTF-16, elsewhere as the raw bytes; a failed write is ignored.
// Thread-safe: lines from different threads do not interleave within a line.
void write_line(Stream stream, std::string_view utf8_text);

}  // namespace sv::platform
