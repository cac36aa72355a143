// The step order of one RAW spooler document: open, start the document, start the page,
// write everything, end the page, end the document, close. The Windows spooler drives its
// winspool calls through this, and tests drive it with a recording fake.
//
// Failure clean-up: a failing step's error is taken first, then every step that was begun is
// ended in reverse order (the document is ended, never aborted) and the printer is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace sv::printing {

class RawDocumentSteps {
 public:
  virtual ~RawDocumentSteps() = default;
  virtual bool open_printer() = 0;
  virtual bool start_document() = 0;
  virtual bool start_page() = 0;
  // Writes up to `size` bytes; `written` is set to 0 by the caller before each call.
  virtual bool write(const char* data, std::uint32_t size, std::uint32_t& written) = 0;
  virtual void end_page() = 0;
  virtual void end_document() = 0;
  virtual void close_printer() = 0;
  // "{label}：{description of the last error}"; called right after the failing step, before
  // any clean-up call can replace the error.
  virtual std::string error(std::string_view label) = 0;
};

// Runs the steps for `stream`. Short writes are continued from the first unsent byte; a
// write that fails or reports 0 bytes ends the transfer. `printer` is quoted in the open
// failure's message as given (see open_failure_label).
Status write_raw_document(RawDocumentSteps& steps, std::string_view printer,
                          std::string_view stream);

// "打不开打印机「{printer}」", the label of a failed open, quoting at most the first 200
// characters of the name.
std::string open_failure_label(std::string_view printer);

}  // namespace sv::printing
