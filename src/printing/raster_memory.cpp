#include "printing/raster_memory.h"

#include <mutex>
#include <utility>

namespace sv::printing {
namespace {

std::mutex kept_mutex;
std::optional<platform::ReservedMemory> kept;

}  // namespace

std::optional<platform::ReservedMemory> take_raster_memory(std::size_t max_bytes) {
  {
    std::lock_guard lock(kept_mutex);
    if (kept && kept->max_bytes() >= max_bytes) return std::exchange(kept, std::nullopt);
  }
  return platform::ReservedMemory::reserve(max_bytes);
}

void give_back_raster_memory(std::optional<platform::ReservedMemory> memory) {
  if (!memory) return;
  memory->allow_reclaim();
  std::lock_guard lock(kept_mutex);
  // The larger region serves every smaller print too; the other one is released here.
  if (!kept || kept->max_bytes() < memory->max_bytes()) std::swap(kept, memory);
}

}  // namespace sv::printing
