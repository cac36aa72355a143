// The memory print rasters are decoded into. One region is kept between prints: decoding a
// large raster into fresh pages costs the system a fault and a zeroed page per 4 KiB, more
// than the decoding itself, while the kept region's pages are already there. The system may
// still take them back whenever it is short of memory.
#pragma once

#include <cstddef>
#include <optional>

#include "platform/reserved_memory.h"

namespace sv::printing {

// A region of at least `max_bytes`: the kept one when it is large enough, else a new
// reservation; nothing when the system refuses. Its contents are undefined. Thread-safe.
std::optional<platform::ReservedMemory> take_raster_memory(std::size_t max_bytes);

// Done with `memory`: kept for the next print if it is larger than the region kept now,
// otherwise released. Thread-safe.
void give_back_raster_memory(std::optional<platform::ReservedMemory> memory);

}  // namespace sv::printing
