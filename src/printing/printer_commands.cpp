#include "printing/printer_commands.h"

#include "text/utf8.h"

namespace sv::printing {
namespace {

constexpr const char* kNoPrinter = "没有选择打印机";

bool blank(const std::string& printer) {
  return text::trim_unicode_whitespace(printer).empty();
}

}  // namespace

Result<PrinterStatus> run_printer_status(const std::string& printer, Spooler& spooler) {
  if (blank(printer)) return Error{kNoPrinter};
  return spooler.printer_status(printer);
}

Result<std::uint32_t> run_cancel_jobs(const std::string& printer, Spooler& spooler) {
  if (blank(printer)) return Error{kNoPrinter};
  return spooler.cancel_jobs(printer);
}

}  // namespace sv::printing
