// JSON of the printer_status and cancel_jobs commands: the {"printer": NAME} body under the
// same strict member rules as print_sheet, and the compact replies.
// Pure functions: no I/O, safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "printing/printer_status.h"

namespace sv::printing {

// Decodes {"printer": NAME}. The error is the decoder's description with its line and column
// (without the "请求格式不对：" prefix), worded as decode_print_body words its own.
Result<std::string> decode_printer_body(std::string_view body);

// {"jobs":[{"id":N,"state":"…","submitted_ms":N},…],"message":"…","reasons":["…"],
//  "state":"…"}: members in ascending key order, like every reply object.
std::string encode_printer_status(const PrinterStatus& status);
// {"cancelled":N}
std::string encode_cancel_reply(std::uint32_t cancelled);

}  // namespace sv::printing
