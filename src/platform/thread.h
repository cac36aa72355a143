// Detached threads with a fixed 2 MiB stack, one per accepted connection.
// Implemented once per OS (pthread, CreateThread).
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/result.h"

namespace sv::platform {

inline constexpr std::size_t kThreadStackBytes = 2 * 1024 * 1024;

class Task {
 public:
  virtual ~Task() = default;
  virtual void run() = 0;
};

// Runs task->run() on a new detached thread, which then destroys the task. Nobody joins
// it. On failure the task is destroyed unrun and the error holds the system error text.
Status spawn_detached(std::unique_ptr<Task> task);

template <class F>
Status spawn_detached(F&& f) {
  struct FunctionTask final : Task {
    explicit FunctionTask(F&& fn) : fn_(std::forward<F>(fn)) {}
    void run() override { fn_(); }
    std::decay_t<F> fn_;
  };
  return spawn_detached(std::unique_ptr<Task>(new FunctionTask(std::forward<F>(f))));
}

}  // namespace sv::platform
