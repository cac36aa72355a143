// PLACEHOLDER until the build embeds dist/: an empty table.
#include "host/embedded_files.h"

namespace sv::host {

std::span<const EmbeddedFile> embedded_files() { return {}; }
const EmbeddedFile* find_embedded_file(std::string_view) { return nullptr; }

}  // namespace sv::host
