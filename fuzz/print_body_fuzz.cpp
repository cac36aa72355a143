// The print_sheet body decoder against Boost.JSON's own document parser: a body the decoder
// accepts is valid JSON whose "request" members carry exactly the decoded values, and a body
// that is not JSON at all is refused with a position.
#include <boost/json.hpp>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "printing/api_json.h"

namespace {

namespace json = boost::json;
using sv::printing::PrintRequest;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  auto decoded = sv::printing::decode_print_body(body);

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
