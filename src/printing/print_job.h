// One print_sheet call: validation, Base64 decoding, the TSPL stream and its submission.
#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"
#include "printing/api_json.h"
#include "printing/api_types.h"
#include "printing/spooler.h"

namespace sv::printing {

// Checks the request in the fixed order, builds the stream and (unless dry_run) hands it
// to `spooler`. The error is the message sent as the 500 reply.
//
// Checks, first failure wins: printer name blank after trimming; Base64 faults; zero dots;
// physical size; gap; raster length. A dry run runs every check and builds the stream but
// never calls the spooler. Thread-safe as far as `spooler` is.
Result<PrintReply> run_print_job(PrintRequest request, Spooler& spooler);

// The same job over a body decoded as it arrived (PrintBodyStream): the same checks in the
// same order with the same messages, and the stream framed around the raster in place.
Result<PrintReply> run_streamed_print_job(StreamedPrint print, Spooler& spooler);

}  // namespace sv::printing
