// The table itself, `embedded_files()`, is generated from dist/ by cmake/embed_dist.cmake.
#include "host/embedded_files.h"

namespace sv::host {

const EmbeddedFile* find_embedded_file(std::string_view name) {
  // A handful of entries: a linear scan beats any index.
  for (const EmbeddedFile& file : embedded_files()) {
    if (file.name == name) return &file;
  }
  return nullptr;
}

}  // namespace sv::host
