// A contiguous region reserved at its largest size and backed by memory only as it is used,
// so a buffer can grow with the bytes a client actually sends without ever moving.
// Implemented once per OS (mmap without reservation; VirtualAlloc reserve, then commit).
//
// Move-only; one thread at a time.
#pragma once

#include <cstddef>
#include <optional>

namespace sv::platform {

class ReservedMemory {
 public:
  // Address space for `max_bytes`; nothing when the system refuses.
  static std::optional<ReservedMemory> reserve(std::size_t max_bytes);

  ReservedMemory(ReservedMemory&& other) noexcept;
  ReservedMemory& operator=(ReservedMemory&& other) noexcept;
  ReservedMemory(const ReservedMemory&) = delete;
  ReservedMemory& operator=(const ReservedMemory&) = delete;
  ~ReservedMemory();

  char* data() const { return data_; }
  std::size_t max_bytes() const { return max_bytes_; }
  // Makes [0, bytes) usable (bytes <= max_bytes()); false when the system refuses.
  // Usable bytes stay usable; what was written stays.
  bool commit(std::size_t bytes);
  // The contents are no longer needed: the system may take the used pages back whenever it is
  // short of memory. They stay usable; reading them gives the old bytes or zeros.
  void allow_reclaim();

 private:
  ReservedMemory(char* data, std::size_t max_bytes) : data_(data), max_bytes_(max_bytes) {}
  void release();

  char* data_ = nullptr;
  std::size_t max_bytes_ = 0;
  std::size_t committed_ = 0;
};

}  // namespace sv::platform
