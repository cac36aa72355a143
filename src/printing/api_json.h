// JSON decoding of the print_sheet body and compact encoding of every API reply.
// Pure functions: no I/O, safe to call from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

std::string encode_health(std::size_t printers);
std::string encode_printer_list(const std::vector<PrinterInfo>& printers);
std::string encode_print_reply(const PrintReply& reply);

}  // namespace sv::printing
