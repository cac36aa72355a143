#include "printing/print_job.h"

#include <chrono>
#include <cmath>
#include <string>
#include <utility>

#include "printing/api_json.h"
#include "printing/base64.h"
#include "printing/raster_memory.h"
#include "printing/tspl.h"
#include "text/utf8.h"

namespace sv::printing {
namespace {

std::string length_message(std::uint64_t received, std::uint64_t expected, const PrintRequest& r) {
  return "位图长度不对：收到 " + std::to_string(received) + " 字节，应为 " +
         std::to_string(expected) + "（" + std::to_string(r.width_dots) + "×" +
         std::to_string(r.height_dots) + "）";
}

// The checks after the Base64 one, in their order; empty when all pass.
std::string_view shape_fault(const PrintRequest& r) {
  if (r.width_dots == 0 || r.height_dots == 0) return "标签尺寸不能为 0";
  const auto positive = [](double v) { return std::isfinite(v) && v > 0; };
  if (!positive(r.width_mm) || !positive(r.height_mm)) return "标签的物理尺寸不合法";
  // -0.0 compares equal to 0, so it passes like +0.
  if (!std::isfinite(r.gap_mm) || r.gap_mm < 0) return "列间距不合法";
  return {};
}

// Validates the raster and builds the stream with the raster decoded straight into its place:
// no separate decoded copy of up to 12 MiB exists at any time.
Result<TsplStream> checked_stream(const PrintRequest& r) {
  const std::string_view b64 = data_b64_text(r);
  const std::string_view fault = shape_fault(r);
  const std::uint64_t expected = tspl_raster_length(r.width_dots, r.height_dots);
  // A Base64 text decodes to at most three quarters of its length, so a larger expectation
  // can only end in a length fault; measuring alone decides which message wins.
  if (!fault.empty() || expected > b64.size()) {
    auto decoded = decode_bitmap_b64_into(b64, nullptr, 0);
    if (!decoded) return Error{decoded.error()};
    if (!fault.empty()) return Error{std::string(fault)};
    return Error{length_message(decoded.value(), expected, r)};
  }
  TsplStream stream = start_tspl_stream(r, static_cast<std::size_t>(expected));
  auto decoded = decode_bitmap_b64_into(b64, stream.raster(), stream.raster_size());
  if (!decoded) return Error{decoded.error()};
  if (decoded.value() != expected) return Error{length_message(decoded.value(), expected, r)};
  return stream;
}

}  // namespace

namespace {

// Steps 8 to 11: time the submission (none on a dry run) and build the reply.
Result<PrintReply> submit(PrintRequest& request, std::string_view stream, Spooler& spooler) {
  const auto start = std::chrono::steady_clock::now();
  if (!request.dry_run) {
    Status sent = spooler.submit_raw_job(request.printer, stream);
    if (!sent) return Error{sent.message()};
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();

  PrintReply reply;
  reply.bytes = stream.size();
  reply.elapsed_ms = ms > 0 ? static_cast<std::uint64_t>(ms) : 0;
  reply.printer = std::move(request.printer);
  return reply;
}

}  // namespace

Result<PrintReply> run_print_job(PrintRequest request, Spooler& spooler) {
  if (text::trim_unicode_whitespace(request.printer).empty()) return Error{"没有选择打印机"};
  auto stream = checked_stream(request);
  if (!stream) return Error{stream.error()};
  return submit(request, stream.value().bytes(), spooler);
}

namespace {

Result<PrintReply> streamed_job(StreamedPrint& print, Spooler& spooler) {
  PrintRequest& request = print.request;
  if (text::trim_unicode_whitespace(request.printer).empty()) return Error{"没有选择打印机"};
  if (!print.raster) return Error{print.raster.error()};
  if (const std::string_view fault = shape_fault(request); !fault.empty()) {
    return Error{std::string(fault)};
  }
  const std::uint64_t expected = tspl_raster_length(request.width_dots, request.height_dots);
  const std::size_t received = print.raster.value();
  if (received != expected) return Error{length_message(received, expected, request)};
  // The raster stands where the decoder put it; the other pieces are written around it.
  if (!print.memory || !print.memory->commit(kTsplHeadRoom + received + kTsplTailRoom)) {
    return Error{"内存不足，无法生成打印数据"};
  }
  const std::string_view stream =
      frame_tspl_raster(request, print.memory->data() + kTsplHeadRoom, received);
  return submit(request, stream, spooler);
}

}  // namespace

Result<PrintReply> run_streamed_print_job(StreamedPrint print, Spooler& spooler) {
  auto reply = streamed_job(print, spooler);
  give_back_raster_memory(std::move(print.memory));
  return reply;
}

}  // namespace sv::printing
