// The system print spooler: RAW job submission and the printer listing.
// One implementation per system: spooler_win32.cpp (winspool) and spooler_cups.cpp (libcups).
//
// Thread safety: implementations are thread-safe; concurrent calls take no lock and are
// independent of one another.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "printing/api_types.h"

namespace sv::printing {

class Spooler {
 public:
  virtual ~Spooler() = default;
  // Sends `stream` to `printer` (used exactly as given) as one RAW document named
  // "Sorvendale". The error is the user-facing message of the failing step.
  virtual Status submit_raw_job(const std::string& printer, std::string_view stream) = 0;
  // Every printer of the current user, in printer order (targets, then default, then name).
  virtual Result<std::vector<PrinterInfo>> enumerate_printers() = 0;
};

// The spooler of the system the program runs on. Lives for the whole process.
Spooler& system_spooler();

}  // namespace sv::printing
