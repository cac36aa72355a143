// The printer_status and cancel_jobs commands over a spooler: the printer name is checked as
// print_sheet checks it, then the spooler answers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"
#include "printing/printer_status.h"
#include "printing/spooler.h"

namespace sv::printing {

// "没有选择打印机" for a name that is blank after trimming (on Windows an empty name would
// open the print server instead of a printer); otherwise spooler.printer_status.
Result<PrinterStatus> run_printer_status(const std::string& printer, Spooler& spooler);
// The same check, then spooler.cancel_jobs: the number of our waiting jobs withdrawn.
Result<std::uint32_t> run_cancel_jobs(const std::string& printer, Spooler& spooler);

}  // namespace sv::printing
