// A bound on the connections served at once. The accept loop takes a slot before each accept
// and the connection's thread gives it back when it ends; with every slot taken, new
// connections wait in the listen backlog (and beyond it, in the clients' connect) instead of
// each costing a thread, two descriptors and its buffers.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace sv::host {

inline constexpr std::size_t kMaxOpenConnections = 1000;

// Thread-safe; take() blocks while `limit` slots are out.
class ConnectionSlots {
 public:
  explicit ConnectionSlots(std::size_t limit) : free_(limit) {}

  void take() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
  }
  void give_back() {
    {
      std::lock_guard lock(mutex_);
      ++free_;
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  std::size_t free_;
};

}  // namespace sv::host
