// The {"printer": NAME} body (and calibrate_media's, which adds three numbers) on Boost.JSON's
// event parser, with the member rules and fault texts of the print_sheet decoder: exact keys,
// other members skipped once the parser has checked them, a repeated or absent member
// refused, null a type error.
#include "printing/status_json.h"

#include "printing/json_text.h"
#include "printing/strict_json.h"

#include <boost/json/basic_parser_impl.hpp>

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

namespace sv::printing {
namespace {

namespace json = boost::json;

class PrinterBodyHandler : public StrictHandler {
 public:
  // `number_keys`: the members besides "printer" the body must carry, each a number.
  explicit PrinterBodyHandler(std::span<const std::string_view> number_keys = {},
                              const char* body_name = "struct PrinterBody")
      : number_keys_(number_keys),
        body_name_(body_name),
        numbers_(number_keys.size()),
        seen_numbers_(number_keys.size()) {}

  std::string& printer() { return printer_; }
  double number(std::size_t i) const { return numbers_[i].value_or(0); }

  bool on_object_begin(json::error_code& ec) {
    if (skipping()) return enter();
    if (target_ == Target::top) {
      target_ = Target::none;
      return true;
    }
    return type_error("map", ec);
  }
  bool on_object_end(std::size_t, json::error_code& ec) {
    if (depth_ > 0) return leave();
    if (!seen_printer_) return fail("missing field `printer`", ec);
    for (std::size_t i = 0; i < numbers_.size(); ++i) {
      if (!numbers_[i]) return fail("missing field `" + std::string(number_keys_[i]) + '`', ec);
    }
    return true;
  }
  bool on_array_begin(json::error_code& ec) {
    if (skipping()) return enter();
    return type_error("sequence", ec);
  }
  bool on_array_end(std::size_t, json::error_code&) { return leave(); }

  bool on_key_part(json::string_view s, std::size_t, json::error_code&) {
    if (depth_ == 0) key_.append(s.data(), s.size());
    return true;
  }
  bool on_key(json::string_view s, std::size_t, json::error_code& ec) {
    if (depth_ > 0) return true;
    key_.append(s.data(), s.size());
    const bool is_printer = key_ == "printer";
    const auto number = std::find(number_keys_.begin(), number_keys_.end(), key_);
    key_.clear();
    if (number != number_keys_.end()) {
      number_ = static_cast<std::size_t>(number - number_keys_.begin());
      if (seen_numbers_[number_]) return fail("duplicate field `" + std::string(*number) + '`', ec);
      seen_numbers_[number_] = true;
      target_ = Target::number;
      return true;
    }
    if (!is_printer) {
      target_ = Target::skip;
      return true;
    }
    if (seen_printer_) return fail("duplicate field `printer`", ec);
    seen_printer_ = true;
    target_ = Target::printer;
    return true;
  }

  bool on_string_part(json::string_view s, std::size_t, json::error_code& ec) {
    if (skipping()) return true;
    if (target_ != Target::printer) return type_error("string", ec);
    printer_.append(s.data(), s.size());
    return true;
  }
  bool on_string(json::string_view s, std::size_t, json::error_code& ec) {
    if (skipping()) return done();
    if (target_ != Target::printer) return type_error("string", ec);
    printer_.append(s.data(), s.size());
    return done();
  }

  bool on_number_part(json::string_view, json::error_code&) { return true; }
  bool on_int64(std::int64_t v, json::string_view s, json::error_code& ec) {
    if (wants_number()) return take(static_cast<double>(v));
    return scalar("integer " + quoted_number({s.data(), s.size()}), ec);
  }
  bool on_uint64(std::uint64_t v, json::string_view s, json::error_code& ec) {
    if (wants_number()) return take(static_cast<double>(v));
    return scalar("integer " + quoted_number({s.data(), s.size()}), ec);
  }
  bool on_double(double v, json::string_view s, json::error_code& ec) {
    if (wants_number()) return take(v);
    return scalar("floating point " + quoted_number({s.data(), s.size()}), ec);
  }
  bool on_bool(bool b, json::error_code& ec) {
    return scalar(b ? "boolean `true`" : "boolean `false`", ec);
  }
  bool on_null(json::error_code& ec) { return scalar("null", ec); }

 private:
  enum class Target { top, none, printer, number, skip };

  bool wants_number() const { return depth_ == 0 && target_ == Target::number; }
  bool take(double value) {
    numbers_[number_] = value;
    return done();
  }

  bool skipping() const { return depth_ > 0 || target_ == Target::skip; }
  bool enter() {
    ++depth_;
    return true;
  }
  bool leave() {
    if (depth_ > 0 && --depth_ == 0) target_ = Target::none;
    return true;
  }
  bool done() {
    if (depth_ == 0) target_ = Target::none;
    return true;
  }
  // Any non-string scalar: fine inside a skipped member, a type error everywhere else.
  bool scalar(const std::string& what, json::error_code& ec) {
    if (skipping()) return done();
    return type_error(what, ec);
  }
  bool type_error(const std::string& what, json::error_code& ec) {
    const char* expected = target_ == Target::top      ? body_name_
                           : target_ == Target::number ? "f64"
                                                       : "a string";
    return fail("invalid type: " + what + ", expected " + expected, ec);
  }

  Target target_ = Target::top;
  bool seen_printer_ = false;
  int depth_ = 0;  // open containers inside a skipped member
  std::string key_;
  std::string printer_;
  std::span<const std::string_view> number_keys_;
  const char* body_name_;
  std::vector<std::optional<double>> numbers_;
  std::vector<bool> seen_numbers_;
  std::size_t number_ = 0;
};

// The whole body through the parser; the fault with its position, if any.
Status parse_body(json::basic_parser<PrinterBodyHandler>& parser, std::string_view body) {
  json::error_code ec;
  const std::size_t used = parser.write_some(false, body.data(), body.size(), ec);
  if (ec) {
    const std::string& fault = parser.handler().fault();
    return Error{(fault.empty() ? parser_fault(ec) : fault) + json_position(body, used)};
  }
  if (used < body.size()) return Error{"trailing characters" + json_position(body, used)};
  return Status::Ok();
}

json::parse_options body_options() {
  json::parse_options options;
  options.max_depth = kMaxJsonDepth;
  return options;
}

constexpr std::string_view kMediaNumbers[] = {"width_mm", "height_mm", "gap_mm"};

}  // namespace

Result<std::string> decode_printer_body(std::string_view body) {
  json::basic_parser<PrinterBodyHandler> parser(body_options());
  if (Status parsed = parse_body(parser, body); !parsed) return Error{parsed.message()};
  return std::move(parser.handler().printer());
}

Result<MediaCalibration> decode_media_body(std::string_view body) {
  json::basic_parser<PrinterBodyHandler> parser(body_options(), std::span(kMediaNumbers),
                                                "struct MediaBody");
  if (Status parsed = parse_body(parser, body); !parsed) return Error{parsed.message()};
  PrinterBodyHandler& h = parser.handler();
  return MediaCalibration{std::move(h.printer()), h.number(0), h.number(1), h.number(2)};
}

std::string encode_printer_status(const PrinterStatus& status) {
  std::string out = "{\"jobs\":[";
  bool first = true;
  for (const QueuedJob& job : status.jobs) {
    if (!first) out += ',';
    first = false;
    out += "{\"id\":" + std::to_string(job.id) + ",\"state\":\"";
    out += job_state_name(job.state);
    out += "\",\"submitted_ms\":" + std::to_string(job.submitted_ms) + '}';
  }
  out += "],\"message\":";
  append_json_string(out, status.message);
  out += ",\"reasons\":[";
  first = true;
  for (const std::string& reason : status.reasons) {
    if (!first) out += ',';
    first = false;
    append_json_string(out, reason);
  }
  out += "],\"state\":\"";
  out += printer_state_name(status.state);
  out += "\"}";
  return out;
}

std::string encode_cancel_reply(std::uint32_t cancelled) {
  return "{\"cancelled\":" + std::to_string(cancelled) + '}';
}

std::string encode_media_reply(const std::string& printer, std::size_t bytes) {
  std::string out = "{\"bytes\":" + std::to_string(bytes) + ",\"printer\":";
  append_json_string(out, printer);
  out += '}';
  return out;
}

}  // namespace sv::printing
