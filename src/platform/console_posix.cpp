#include <cstdio>
#include <mutex>
#include <string>

#include "platform/console.h"

namespace sv::platform {

// Terminals here already speak UTF-8 and have no title to set.
void prepare_console() {}

void write_line(Stream stream, std::string_view utf8_text) {
  static std::mutex mutex;
  std::FILE* file = stream == Stream::kOut ? stdout : stderr;
  std::string line(utf8_text);
  line.push_back('\n');
  std::lock_guard<std::mutex> lock(mutex);
  std::fwrite(line.data(), 1, line.size(), file);
  std::fflush(file);
}

}  // namespace sv::platform
