#include "host/body_pipeline.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/thread.h"

namespace sv::host {
namespace {

constexpr std::size_t kBuffers = 4;

// Filled chunks from the reading thread to the consuming one, and emptied buffers back.
class Pipeline {
 public:
  explicit Pipeline(const std::function<void(std::string_view)>& take) : take_(take) {
    for (auto& b : storage_) {
      b = std::make_unique_for_overwrite<char[]>(BufferedReader::kChunkBytes);
      free_.push_back(b.get());
    }
  }

  // Runs on the consuming thread until the reader has closed the pipe and every chunk is taken.
  void consume() {
    for (;;) {
      std::span<char> chunk;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !filled_.empty() || closed_; });
        if (filled_.empty()) break;
        chunk = filled_.front();
        filled_.pop_front();
      }
      take_(std::string_view(chunk.data(), chunk.size()));
      {
        std::lock_guard lock(mutex_);
        free_.push_back(chunk.data());
      }
      changed_.notify_all();
    }
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
  }

  char* acquire() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    char* b = free_.back();
    free_.pop_back();
    return b;
  }
  void hand_over(char* buffer, std::size_t size) {
    {
      std::lock_guard lock(mutex_);
      filled_.emplace_back(buffer, size);
    }
    changed_.notify_all();
  }
  // No more chunks; returns once the consumer has taken every one handed over.
  void close_and_wait() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return finished_; });
  }

 private:
  const std::function<void(std::string_view)>& take_;
  std::array<std::unique_ptr<char[]>, kBuffers> storage_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::span<char>> filled_;
  std::vector<char*> free_;
  bool closed_ = false;
  bool finished_ = false;
};

}  // namespace

Status consume_body(BufferedReader& reader, std::uint64_t count,
                    const std::function<void(std::string_view)>& take) {
  const std::uint64_t first = std::min(count, kPipelineFromBytes);
  if (Status read = reader.for_each_chunk(first, take); !read.ok()) return read;
  std::uint64_t left = count - first;
  if (left == 0) return Status::Ok();

  auto pipeline = std::make_shared<Pipeline>(take);
  // Without a second thread the body is still read whole, on this one.
  if (!platform::spawn_detached([pipeline] { pipeline->consume(); }).ok()) {
    return reader.for_each_chunk(left, take);
  }
  Status read = Status::Ok();
  while (left > 0 && read.ok()) {
    const std::size_t size =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, BufferedReader::kChunkBytes));
    char* buffer = pipeline->acquire();
    read = reader.read_exact(std::span(buffer, size));
    // A failed read's bytes are not handed over: the caller drops the body anyway.
    if (read.ok()) pipeline->hand_over(buffer, size);
    left -= size;
  }
  pipeline->close_and_wait();
  return read;
}

}  // namespace sv::host
