// The designer's build output, compiled into the program. The table is generated at build
// time from whatever dist/ holds; the bytes live in the program image and are never copied.
#pragma once

#include <span>
#include <string_view>

namespace sv::host {

struct EmbeddedFile {
  std::string_view name;  // relative, "/"-separated, e.g. "assets/index-abc.js"
  std::span<const unsigned char> bytes;
};

std::span<const EmbeddedFile> embedded_files();
// Exact, case-sensitive lookup; nullptr when the name is not compiled in.
const EmbeddedFile* find_embedded_file(std::string_view name);

}  // namespace sv::host
