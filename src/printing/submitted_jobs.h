// The ids of the jobs this process handed to the spooler, so the status and cancel commands
// touch no job of another program or user, even one titled "Sorvendale". Only the latest
// kKeptJobIds are kept: far more than one batch, and the memory stays bounded.
//
// Thread safety: every member may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace sv::printing {

class SubmittedJobs {
 public:
  static constexpr std::size_t kKeptJobIds = 1000;

  // Notes a job id the spooler gave one of our documents; the oldest id drops out past the
  // limit. 0 (no job) is ignored.
  void add(std::uint32_t id);
  bool contains(std::uint32_t id) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> ids_;  // a ring once full
  std::size_t next_ = 0;
};

// This process's record, shared by the spooler implementations.
SubmittedJobs& submitted_jobs();

}  // namespace sv::printing
