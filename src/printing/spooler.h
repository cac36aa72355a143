// The system print spooler: RAW job submission, the printer listing, a printer's state with
// our queued jobs, and withdrawing those jobs.
// One implementation per system: spooler_win32.cpp (winspool) and spooler_cups.cpp (libcups).
//
// Thread safety: implementations are thread-safe; concurrent calls take no lock and are
// independent of one another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "printing/api_types.h"
#include "printing/printer_status.h"

namespace sv::printing {

class Spooler {
 public:
  virtual ~Spooler() = default;
  // Sends `stream` to `printer` (used exactly as given) as one RAW document named
  // "Sorvendale". The error is the user-facing message of the failing step.
  virtual Status submit_raw_job(const std::string& printer, std::string_view stream) = 0;
  // Every printer of the current user, in printer order (targets, then default, then name).
  virtual Result<std::vector<PrinterInfo>> enumerate_printers() = 0;
  // The state of `printer` (used exactly as given), its reasons, and the jobs titled
  // "Sorvendale" in its queue. The error is "打不开打印机「{}」：…" for an unknown printer, else
  // the failing step's label and the system's description.
  virtual Result<PrinterStatus> printer_status(const std::string& printer) = 0;
  // Cancels the jobs titled "Sorvendale" in the queue of `printer` that have not started
  // printing (is_waiting); other programs' jobs and the job on the printer stay. Returns how
  // many were cancelled; a job that finished or went meanwhile is not counted and no failure.
  virtual Result<std::uint32_t> cancel_jobs(const std::string& printer) = 0;
};

// The spooler of the system the program runs on. Lives for the whole process.
Spooler& system_spooler();

}  // namespace sv::printing
