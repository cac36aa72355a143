// JSON decoding of the print_sheet body and compact encoding of every API reply.
// Pure functions: no I/O, safe to call from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reserved_memory.h"
#include "platform/result.h"
#include "printing/api_types.h"

namespace sv::printing {

// Decodes {"request": PrintRequest} under the strict member rules. The error is the
// decoder's description with its line and column (without the "请求格式不对：" prefix).
// The result may point into `body` (see PrintRequest::data_b64).
Result<PrintRequest> decode_print_body(std::string_view body);

// The Base64 text of a decoded request. Prefer this to reading data_b64 directly: it stays
// right after the request was moved or copied (a short escaped text lives in the string's
// own inline buffer, which a move relocates).
std::string_view data_b64_text(const PrintRequest& request);

// A decoded print body whose raster was decoded as it arrived: the request without its
// Base64 text, the raster's decoded length or its Base64 fault, and the memory that holds
// the raster at kTsplHeadRoom from its start (absent when the raster could not be kept).
struct StreamedPrint {
  PrintRequest request;
  Result<std::size_t> raster;
  std::optional<platform::ReservedMemory> memory;
};

// The print_sheet body decoded as it arrives, chunk by chunk, so the body is never held
// whole and data_b64 is never held as text: its pieces go through the Base64 decoder
// straight into memory that grows with the bytes received. Member rules, fault texts and
// positions are those of decode_print_body, whatever the chunking. One thread at a time.
class PrintBodyStream {
 public:
  // `body_length`: the announced length, which bounds the raster's reservation.
  explicit PrintBodyStream(std::uint64_t body_length);
  ~PrintBodyStream();
  PrintBodyStream(const PrintBodyStream&) = delete;
  PrintBodyStream& operator=(const PrintBodyStream&) = delete;

  // The next bytes of the body. After a fault further bytes are only skipped.
  void feed(std::string_view chunk);
  // After the last byte: the decoded print, or the decoder's description of the fault.
  Result<StreamedPrint> finish();

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

std::string encode_health(std::size_t printers);
std::string encode_printer_list(const std::vector<PrinterInfo>& printers);
std::string encode_print_reply(const PrintReply& reply);

}  // namespace sv::printing
