// The printer_status, cancel_jobs and calibrate_media commands over a spooler: the printer
// name is checked as print_sheet checks it, then the spooler answers.
#pragma once

#include <cstddef>
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

// The calibrate_media body: the label the printer should measure its roll against.
struct MediaCalibration {
  std::string printer;
  double width_mm = 0;
  double height_mm = 0;
  double gap_mm = 0;
};

// Widths and heights up to this many millimetres (eight 300 mm columns and their gaps fit).
inline constexpr double kMaxMediaMm = 3000;
// Gaps up to this many millimetres.
inline constexpr double kMaxMediaGapMm = 100;

// "SIZE {w} mm, {h} mm", "GAP {g} mm, 0 mm" and "GAPDETECT", each ending in CR LF, the
// millimetres written as the print stream writes them.
std::string media_calibration_stream(const MediaCalibration& media);

// The name check, then the sizes: "标签宽度不合法：…", "标签高度不合法：…" or
// "标签间隙不合法：…" naming the value and the allowed range; then the stream as one RAW job.
// Returns the stream's length in bytes.
Result<std::size_t> run_calibrate_media(const MediaCalibration& media, Spooler& spooler);

}  // namespace sv::printing
