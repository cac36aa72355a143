// The whole print job with a recording spooler. Inputs that start with "{" are print bodies
// (decoded first, as the service does); any other input is turned into a request member by
// member. The job must fail with the first fault in the fixed check order, or hand the
// spooler one stream whose SIZE, GAP, BITMAP and PRINT lines agree with the request and whose
// raster is the decoded Base64, of the length the reply reports.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "printing/api_json.h"
#include "printing/base64.h"
#include "printing/format_mm.h"
#include "printing/print_job.h"
#include "printing/tspl.h"
#include "support/recording_spooler.h"
#include "text/utf8.h"

namespace {

using sv::printing::PrintRequest;

void check(bool condition) {
  if (!condition) __builtin_trap();
}

const std::string kB64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encode_b64(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    const std::size_t chars = std::min<std::size_t>(4, bytes.size() - i + 1);
    for (std::size_t k = 0; k < chars; ++k) out += kB64Alphabet[(group >> (18 - 6 * k)) & 63];
  }
  return out;
}

double pick_mm(FuzzedDataProvider& in) {
  static constexpr double kSpecial[] = {40.0,  0.004, -0.0,     0.0,       2.675,
                                        -0.01, NAN,   INFINITY, -INFINITY, 1e308};
  if (in.ConsumeBool()) return kSpecial[in.ConsumeIntegralInRange<std::size_t>(0, 9)];
  return in.ConsumeFloatingPoint<double>();
}

PrintRequest build_request(FuzzedDataProvider& in, std::string& b64_storage) {
  PrintRequest r;
  static constexpr std::string_view kPrinters[] = {"Zeko Z1", "", " \t\u3000", " Zeko "};
  r.printer = in.ConsumeBool() ? std::string(kPrinters[in.ConsumeIntegralInRange(0, 3)])
                               : in.ConsumeRandomLengthString(16);
  r.width_mm = pick_mm(in);
  r.height_mm = pick_mm(in);
  r.gap_mm = pick_mm(in);
  r.width_dots = in.ConsumeIntegralInRange<std::uint32_t>(0, 80);
  r.height_dots = in.ConsumeIntegralInRange<std::uint32_t>(0, 40);
  r.density = in.ConsumeIntegral<std::uint8_t>();
  r.speed = in.ConsumeIntegral<std::uint8_t>();
  r.copies = in.ConsumeIntegral<std::uint32_t>();
  r.offset_x_dots = in.ConsumeIntegral<std::int32_t>();
  r.offset_y_dots = in.ConsumeIntegralInRange<std::int32_t>(-200, 200);
  r.tear = in.ConsumeBool();
  r.dry_run = in.ConsumeBool();
  if (in.ConsumeBool()) {
    // A raster of about the right length, so the job gets past the length check.
    const auto expected =
        static_cast<std::int64_t>(sv::printing::tspl_raster_length(r.width_dots, r.height_dots));
    const auto length = std::max<std::int64_t>(0, expected + in.ConsumeIntegralInRange(-1, 1));
    std::string raw = in.ConsumeBytesAsString(static_cast<std::size_t>(length));
    raw.resize(static_cast<std::size_t>(length), '\x5A');
    b64_storage = encode_b64(raw);
  } else {
    b64_storage = in.ConsumeRandomLengthString(200);
  }
  r.data_b64 = b64_storage;
  return r;
}

std::string format_int(std::uint64_t v) {
  return std::to_string(v);
}

// The first failing check, in the job's order; empty when the request is printable.
std::string expected_fault(const PrintRequest& r) {
  if (sv::text::trim_unicode_whitespace(r.printer).empty()) return "没有选择打印机";
  const auto raster = sv::printing::decode_bitmap_b64(sv::printing::data_b64_text(r));
  if (!raster) return raster.error();
  if (r.width_dots == 0 || r.height_dots == 0) return "标签尺寸不能为 0";
  if (!(std::isfinite(r.width_mm) && r.width_mm > 0 && std::isfinite(r.height_mm) &&
        r.height_mm > 0)) {
    return "标签的物理尺寸不合法";
  }
  if (!std::isfinite(r.gap_mm) || r.gap_mm < 0) return "列间距不合法";
  const auto expected = sv::printing::tspl_raster_length(r.width_dots, r.height_dots);
  if (raster.value().size() != expected) {
    return "位图长度不对：收到 " + format_int(raster.value().size()) + " 字节，应为 " +
           format_int(expected) + "（" + format_int(r.width_dots) + "×" +
           format_int(r.height_dots) + "）";
  }
  return {};
}

void check_stream(const PrintRequest& r, std::string_view stream) {
  using sv::printing::format_mm;
  const std::string size_line =
      "SIZE " + format_mm(r.width_mm) + " mm, " + format_mm(r.height_mm) + " mm\r\n";
  const std::string gap_line = "GAP " + format_mm(r.gap_mm) + " mm, 0 mm\r\n";
  check(stream.starts_with(size_line + gap_line + "DIRECTION 1\r\n"));
  const std::string bitmap = "CLS\r\nBITMAP 0,0," +
                             format_int(sv::printing::tspl_bytes_per_row(r.width_dots)) + "," +
                             format_int(r.height_dots) + ",0,";
  const std::size_t at = stream.find(bitmap);
  check(at != std::string_view::npos);
  const auto raster = sv::printing::decode_bitmap_b64(sv::printing::data_b64_text(r)).value();
  const std::string_view after = stream.substr(at + bitmap.size());
  check(after.starts_with(raster));
  const std::uint32_t copies = r.copies == 0 ? 1 : std::min<std::uint32_t>(r.copies, 99);
  check(after.substr(raster.size()) == "\r\nPRINT 1," + format_int(copies) + "\r\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string b64_storage;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  PrintRequest request;
  if (input.starts_with("{")) {
    auto decoded = sv::printing::decode_print_body(input);
    if (!decoded) return 0;
    request = std::move(decoded).value();
    // The job over the body decoded as it arrives answers exactly as over the whole body.
    sv::printing::PrintBodyStream stream(input.size());
    for (std::size_t at = 0; at < input.size(); at += 7) stream.feed(input.substr(at, 7));
    auto streamed = stream.finish();
    check(streamed.ok());
    sv::test::RecordingSpooler whole_spooler, streamed_spooler;
    const auto whole_reply = sv::printing::run_print_job(request, whole_spooler);
    const auto streamed_reply =
        sv::printing::run_streamed_print_job(std::move(streamed).value(), streamed_spooler);
    check(whole_reply.ok() == streamed_reply.ok());
    if (!whole_reply) {
      check(whole_reply.error() == streamed_reply.error());
    } else {
      check(whole_reply.value().bytes == streamed_reply.value().bytes);
      check(whole_spooler.written == streamed_spooler.written);
    }
  } else {
    FuzzedDataProvider provider(data, size);
    request = build_request(provider, b64_storage);
  }

  const std::string fault = expected_fault(request);
  const bool dry_run = request.dry_run;
  sv::test::RecordingSpooler spooler;
  const auto reply = sv::printing::run_print_job(request, spooler);
  if (!fault.empty()) {
    check(!reply && reply.error() == fault && spooler.submitted.empty());
    return 0;
  }
  check(reply.ok());
  check(reply.value().printer == request.printer);
  if (dry_run) {
    check(spooler.submitted.empty() && spooler.calls.empty());
    request.dry_run = false;  // the same request for real, to see its stream
    const auto real = sv::printing::run_print_job(request, spooler);
    check(real.ok() && real.value().bytes == reply.value().bytes);
  }
  check(spooler.submitted.size() == 1);
  check(spooler.submitted[0].printer == request.printer);
  check(spooler.submitted[0].stream.size() == reply.value().bytes);
  check(spooler.written == spooler.submitted[0].stream);
  check_stream(request, spooler.submitted[0].stream);
  return 0;
}
