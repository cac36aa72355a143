// The print_sheet body decoder against Boost.JSON's own document parser: a body the decoder
// accepts is valid JSON whose "request" members carry exactly the decoded values, and a body
// that is not JSON at all is refused with a position. The decoder that takes the body as it
// arrives, in chunks cut where the input's own bytes say, must agree with the whole-body one
// on every fault text and position, every member and the decoded raster.
#include <boost/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "printing/api_json.h"
#include "printing/base64.h"
#include "printing/tspl.h"

namespace {

namespace json = boost::json;
using sv::Result;
using sv::printing::PrintRequest;
using sv::printing::StreamedPrint;

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// A float member equals the parsed number; the decoder reads the decimal text again, so
// the two may differ in the last place.
bool near(double decoded, const json::value& v) {
  const double dom = v.to_number<double>();
  if (decoded == dom) return true;
  return std::abs(decoded - dom) <= std::abs(dom) * 1e-15;
}

template <class T>
bool integer_is(T decoded, const json::value& v) {
  if (v.is_int64()) return static_cast<std::int64_t>(decoded) == v.get_int64();
  if (v.is_uint64()) return static_cast<std::uint64_t>(decoded) == v.get_uint64();
  return false;
}

void agrees(const PrintRequest& r, const json::object& o) {
  check(o.at("printer").as_string() == r.printer);
  check(near(r.width_mm, o.at("width_mm")));
  check(near(r.height_mm, o.at("height_mm")));
  check(near(r.gap_mm, o.at("gap_mm")));
  check(integer_is(r.width_dots, o.at("width_dots")));
  check(integer_is(r.height_dots, o.at("height_dots")));
  check(integer_is(r.density, o.at("density")));
  check(integer_is(r.speed, o.at("speed")));
  check(integer_is(r.copies, o.at("copies")));
  const auto* x = o.if_contains("offset_x_dots");
  check(x ? integer_is(r.offset_x_dots, *x) : r.offset_x_dots == 0);
  const auto* y = o.if_contains("offset_y_dots");
  check(y ? integer_is(r.offset_y_dots, *y) : r.offset_y_dots == 0);
  check(o.at("tear").as_bool() == r.tear);
  const auto* dry = o.if_contains("dry_run");
  check(dry ? dry->as_bool() == r.dry_run : !r.dry_run);
  check(o.at("data_b64").as_string() == sv::printing::data_b64_text(r));
}

// Chunk ends drawn from the body's bytes: cheap, and mutations move them around.
Result<StreamedPrint> streamed(std::string_view body) {
  sv::printing::PrintBodyStream stream(body.size());
  std::size_t at = 0;
  std::uint32_t state = 7;
  while (at < body.size()) {
    state = state * 1103515245u + static_cast<unsigned char>(body[at]) + 12345u;
    const std::size_t n = 1 + (state >> 16) % 37;
    stream.feed(body.substr(at, n));
    at += std::min(n, body.size() - at);
  }
  return stream.finish();
}

void same_as_whole(std::string_view body, const sv::Result<PrintRequest>& whole) {
  auto chunked = streamed(body);
  check(chunked.ok() == whole.ok());
  if (!whole) {
    check(chunked.error() == whole.error());
    return;
  }
  const PrintRequest& a = whole.value();
  const PrintRequest& b = chunked.value().request;
  check(a.printer == b.printer && a.width_dots == b.width_dots && a.height_dots == b.height_dots);
  check(a.density == b.density && a.speed == b.speed && a.copies == b.copies);
  check(a.offset_x_dots == b.offset_x_dots && a.offset_y_dots == b.offset_y_dots);
  check(a.tear == b.tear && a.dry_run == b.dry_run);
  // Bitwise, so NaN-free doubles and signed zeros compare exactly.
  check(std::memcmp(&a.width_mm, &b.width_mm, sizeof(double)) == 0);
  check(std::memcmp(&a.height_mm, &b.height_mm, sizeof(double)) == 0);
  check(std::memcmp(&a.gap_mm, &b.gap_mm, sizeof(double)) == 0);
  const auto raster = sv::printing::decode_bitmap_b64(sv::printing::data_b64_text(a));
  const auto& streamed_raster = chunked.value().raster;
  check(raster.ok() == streamed_raster.ok());
  if (!raster) {
    check(raster.error() == streamed_raster.error());
    return;
  }
  check(raster.value().size() == streamed_raster.value());
  const auto& memory = chunked.value().memory;
  check(memory.has_value() || raster.value().empty());
  if (memory) {
    check(std::string_view(memory->data() + sv::printing::kTsplHeadRoom, raster.value().size()) ==
          raster.value());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  auto decoded = sv::printing::decode_print_body(body);
  same_as_whole(body, decoded);

  json::parse_options options;
  options.max_depth = 127;
  json::error_code ec;
  const json::value dom = json::parse(body, ec, {}, options);

  if (!decoded) {
    check(decoded.error().find(" at line ") != std::string::npos);
    return 0;
  }
  // Accepted: well-formed JSON, and every member the contract names agrees with the document.
  check(!ec);
  agrees(decoded.value(), dom.at("request").as_object());
  // A move must keep data_b64 readable (it may point into the request's own storage).
  const PrintRequest moved = std::move(decoded).value();
  agrees(moved, dom.at("request").as_object());
  return 0;
}
