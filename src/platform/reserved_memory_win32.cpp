#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/reserved_memory.h"

namespace sv::platform {

namespace {
// Commits grow in steps of at least this much, so a trickle of bytes is not a call each.
constexpr std::size_t kCommitStep = 1 << 20;
}  // namespace

std::optional<ReservedMemory> ReservedMemory::reserve(std::size_t max_bytes) {
  if (max_bytes == 0) max_bytes = 1;
  void* p = VirtualAlloc(nullptr, max_bytes, MEM_RESERVE, PAGE_NOACCESS);
  if (p == nullptr) return std::nullopt;
  return ReservedMemory(static_cast<char*>(p), max_bytes);
}

bool ReservedMemory::commit(std::size_t bytes) {
  if (bytes > max_bytes_) return false;
  if (bytes <= committed_) return true;
  const std::size_t target = std::min(max_bytes_, std::max(bytes, committed_ + kCommitStep));
  if (VirtualAlloc(data_ + committed_, target - committed_, MEM_COMMIT, PAGE_READWRITE) ==
      nullptr) {
    return false;
  }
  committed_ = target;
  return true;
}

void ReservedMemory::allow_reclaim() {
  if (data_ == nullptr || committed_ == 0) return;
  (void)VirtualAlloc(data_, committed_, MEM_RESET, PAGE_READWRITE);  // advice only
}

void ReservedMemory::release() {
  if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
}

}  // namespace sv::platform
