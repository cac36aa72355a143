#include "printing/printer_commands.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "printing/format_mm.h"
#include "text/utf8.h"

namespace sv::printing {
namespace {

constexpr const char* kNoPrinter = "没有选择打印机";

bool blank(const std::string& printer) {
  return text::trim_unicode_whitespace(printer).empty();
}

// The value as the user sent it (shortest form that reads back the same), not rounded as the
// stream would write it: a refused 0.001 must not read "0".
std::string number_text(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  for (int digits = 1; digits < 17; ++digits) {
    char shorter[64];
    std::snprintf(shorter, sizeof shorter, "%.*g", digits, value);
    if (std::strtod(shorter, nullptr) == value) return shorter;
  }
  return text;
}

std::optional<std::string> media_fault(const MediaCalibration& m) {
  const auto size_ok = [](double v) { return std::isfinite(v) && v > 0 && v <= kMaxMediaMm; };
  const std::string size_range = " mm，应大于 0 且不超过 " + format_mm(kMaxMediaMm) + " mm";
  if (!size_ok(m.width_mm)) return "标签宽度不合法：" + number_text(m.width_mm) + size_range;
  if (!size_ok(m.height_mm)) return "标签高度不合法：" + number_text(m.height_mm) + size_range;
  if (!(std::isfinite(m.gap_mm) && m.gap_mm >= 0 && m.gap_mm <= kMaxMediaGapMm)) {
    return "标签间隙不合法：" + number_text(m.gap_mm) + " mm，应在 0 到 " +
           format_mm(kMaxMediaGapMm) + " mm 之间";
  }
  return std::nullopt;
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

std::string media_calibration_stream(const MediaCalibration& media) {
  return "SIZE " + format_mm(media.width_mm) + " mm, " + format_mm(media.height_mm) +
         " mm\r\nGAP " + format_mm(media.gap_mm) + " mm, 0 mm\r\nGAPDETECT\r\n";
}

Result<std::size_t> run_calibrate_media(const MediaCalibration& media, Spooler& spooler) {
  if (blank(media.printer)) return Error{kNoPrinter};
  if (auto fault = media_fault(media)) return Error{*fault};
  const std::string stream = media_calibration_stream(media);
  if (Status sent = spooler.submit_raw_job(media.printer, stream); !sent) {
    return Error{sent.message()};
  }
  return stream.size();
}

}  // namespace sv::printing
