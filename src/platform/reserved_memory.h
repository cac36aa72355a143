// A contiguous region reserved at its largest size and backed by memory only as it is used,
// so a buffer can grow with the bytes a client actually sends without ever moving.
// Implemented once per OS (mmap without reservation; VirtualAlloc reserve, then commit).
//
// Move-only; one thread at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>

namespace sv::platform {

class ReservedMemory {
 public:
  // Address space for `max_bytes`; nothing when the system refuses.
  static std::optional<ReservedMemory> reserve(std::size_t max_bytes);

  // The same on every system; only release() differs.
  ReservedMemory(ReservedMemory&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        max_bytes_(std::exchange(other.max_bytes_, 0)),
        committed_(std::exchange(other.committed_, 0)) {}
  ReservedMemory& operator=(ReservedMemory&& other) noexcept {
    if (this != &other) {
      release();
      data_ = std::exchange(other.data_, nullptr);
      max_bytes_ = std::exchange(other.max_bytes_, 0);
      committed_ = std::exchange(other.committed_, 0);
    }
    return *this;
  }
  ReservedMemory(const ReservedMemory&) = delete;
  ReservedMemory& operator=(const ReservedMemory&) = delete;
  ~ReservedMemory() { release(); }

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
