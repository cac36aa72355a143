// A printer's readiness and this program's jobs in its queue, as the status command reports
// them, and the pure mappings from each spooler's flags and keywords onto them. The mappings
// know no system header (the Windows bit values are restated in winspool_bits.h and checked
// against winspool.h by the Windows build), so they are tested as tables on every system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sv::printing {

// Title of every job this program submits; the status and cancel commands see only these.
inline constexpr std::string_view kJobTitle = "Sorvendale";

enum class PrinterState : std::uint8_t { idle, printing, paused, offline, error };
enum class JobState : std::uint8_t { pending, printing, done, failed, cancelled };

// "idle", "printing", "paused", "offline", "error".
std::string_view printer_state_name(PrinterState state);
// "pending", "printing", "done", "failed", "cancelled".
std::string_view job_state_name(JobState state);

struct QueuedJob {
  std::uint32_t id = 0;
  JobState state = JobState::pending;
  // Submission time in milliseconds since 1970-01-01 UTC.
  std::int64_t submitted_ms = 0;
};

struct PrinterStatus {
  PrinterState state = PrinterState::idle;
  // Short Simplified Chinese texts, each at most once, in a fixed order.
  std::vector<std::string> reasons;
  // The spooler's own free text about the printer (CUPS printer-state-message); often empty.
  std::string message;
  // This program's jobs, in the spooler's order.
  std::vector<QueuedJob> jobs;
};

struct StateAndReasons {
  PrinterState state = PrinterState::idle;
  std::vector<std::string> reasons;
};

// winspool: PRINTER_INFO_2 Status and Attributes, and the union of the Status bits of every
// job in the queue (port monitors often report paper out or offline on the job only).
StateAndReasons windows_printer_state(std::uint32_t status, std::uint32_t attributes,
                                      std::uint32_t jobs_status);
// winspool: JOB_INFO_1 Status.
JobState windows_job_state(std::uint32_t status);

// CUPS: printer-state (3 idle, 4 processing, 5 stopped), the printer-state-reasons keywords
// (severity suffixes -report, -warning, -error allowed) and printer-state-message. A network
// backend that cannot reach its printer sets no keyword, only its message (CUPS's English
// texts, e.g. "The printer is unreachable at this time."), so those texts are read too.
StateAndReasons cups_printer_state(int printer_state, const std::vector<std::string>& keywords,
                                   std::string_view message);
// Whether the scheduler is still trying to reach the device (connecting, offline, one of the
// backends' retry messages): a job it calls processing then has sent nothing to paper yet.
bool cups_device_unreachable(const std::vector<std::string>& keywords, std::string_view message);
// CUPS: job-state (3 pending ... 9 completed); processing counts as pending while the device
// is unreachable.
JobState cups_job_state(int job_state, bool device_unreachable);

// Whether cancel_jobs withdraws a job in this state: only jobs that have not started printing,
// since cutting a TSPL stream short leaves the printer mid-command for the next job.
inline bool is_waiting(JobState state) {
  return state == JobState::pending;
}

}  // namespace sv::printing
