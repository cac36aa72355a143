// JSON of the printer_status, cancel_jobs and calibrate_media commands: the {"printer": NAME}
// body (with three numbers for calibrate_media) under the same strict member rules as
// print_sheet, and the compact replies.
// Pure functions: no I/O, safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "printing/printer_commands.h"
#include "printing/printer_status.h"

namespace sv::printing {

// Decodes {"printer": NAME}. The error is the decoder's description with its line and column
// (without the "请求格式不对：" prefix), worded as decode_print_body words its own.
Result<std::string> decode_printer_body(std::string_view body);
// Decodes {"printer": NAME, "width_mm": N, "height_mm": N, "gap_mm": N}: the same rules, each
// number required ("missing field `width_mm`"); any JSON number is taken, its range is the
// command's to check.
Result<MediaCalibration> decode_media_body(std::string_view body);

// {"jobs":[{"id":N,"state":"…","submitted_ms":N},…],"message":"…","reasons":["…"],
//  "state":"…"}: members in ascending key order, like every reply object.
std::string encode_printer_status(const PrinterStatus& status);
// {"cancelled":N}
std::string encode_cancel_reply(std::uint32_t cancelled);
// {"bytes":N,"printer":"…"}: the calibration stream's length and the printer it went to.
std::string encode_media_reply(const std::string& printer, std::size_t bytes);

}  // namespace sv::printing
