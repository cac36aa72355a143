#include "printing/submitted_jobs.h"

#include <algorithm>

namespace sv::printing {

void SubmittedJobs::add(std::uint32_t id) {
  if (id == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (ids_.size() < kKeptJobIds) {
    ids_.push_back(id);
    return;
  }
  ids_[next_] = id;
  next_ = (next_ + 1) % kKeptJobIds;
}

bool SubmittedJobs::contains(std::uint32_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return id != 0 && std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

SubmittedJobs& submitted_jobs() {
  static SubmittedJobs jobs;
  return jobs;
}

}  // namespace sv::printing
