#include <sys/mman.h>

#include <algorithm>
#include <utility>

#include "platform/reserved_memory.h"

namespace sv::platform {

std::optional<ReservedMemory> ReservedMemory::reserve(std::size_t max_bytes) {
  if (max_bytes == 0) max_bytes = 1;
  // Pages get memory when first written; MAP_NORESERVE keeps the untouched rest from counting
  // against the system's commit limit.
  void* p = ::mmap(nullptr, max_bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return std::nullopt;
  return ReservedMemory(static_cast<char*>(p), max_bytes);
}

namespace {
// Once this much is in use, the rest of the region may come in huge pages: a few faults
// instead of thousands for a large raster, while a client that sent little still costs little.
constexpr std::size_t kHugePagesFrom = 2 << 20;
}  // namespace

bool ReservedMemory::commit(std::size_t bytes) {
  // Pages get memory on first write; nothing to do but keep the bound.
  if (bytes > max_bytes_) return false;
  if (committed_ < kHugePagesFrom && bytes >= kHugePagesFrom) {
    (void)::madvise(data_, max_bytes_, MADV_HUGEPAGE);  // advice only; refusal changes nothing
  }
  committed_ = std::max(committed_, bytes);
  return true;
}

void ReservedMemory::allow_reclaim() {
  if (data_ == nullptr || committed_ == 0) return;
  (void)::madvise(data_, committed_, MADV_FREE);  // advice only: without it the pages just stay
}

void ReservedMemory::release() {
  if (data_ != nullptr) ::munmap(data_, max_bytes_);
  data_ = nullptr;
}

}  // namespace sv::platform
