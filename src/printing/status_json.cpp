// The {"printer": NAME} body on Boost.JSON's event parser, with the member rules and fault
// texts of the print_sheet decoder: exact keys, other members skipped once the parser has
// checked them, a repeated or absent "printer" refused, null a type error.
#include "printing/status_json.h"

#include "printing/json_text.h"
#include "printing/strict_json.h"

#include <boost/json/basic_parser_impl.hpp>

#include <algorithm>

namespace sv::printing {
namespace {

namespace json = boost::json;

class PrinterBodyHandler : public StrictHandler {
 public:
  std::string& printer() { return printer_; }

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
    key_.clear();
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
  bool on_int64(std::int64_t, json::string_view s, json::error_code& ec) {
    return scalar("integer " + quoted_number({s.data(), s.size()}), ec);
  }
  bool on_uint64(std::uint64_t, json::string_view s, json::error_code& ec) {
    return scalar("integer " + quoted_number({s.data(), s.size()}), ec);
  }
  bool on_double(double, json::string_view s, json::error_code& ec) {
    return scalar("floating point " + quoted_number({s.data(), s.size()}), ec);
  }
  bool on_bool(bool b, json::error_code& ec) {
    return scalar(b ? "boolean `true`" : "boolean `false`", ec);
  }
  bool on_null(json::error_code& ec) { return scalar("null", ec); }

 private:
  enum class Target { top, none, printer, skip };

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
    const char* expected = target_ == Target::top ? "struct PrinterBody" : "a string";
    return fail("invalid type: " + what + ", expected " + expected, ec);
  }

  Target target_ = Target::top;
  bool seen_printer_ = false;
  int depth_ = 0;  // open containers inside a skipped member
  std::string key_;
  std::string printer_;
};

}  // namespace

Result<std::string> decode_printer_body(std::string_view body) {
  json::parse_options options;
  options.max_depth = kMaxJsonDepth;
  json::basic_parser<PrinterBodyHandler> parser(options);
  json::error_code ec;
  const std::size_t used = parser.write_some(false, body.data(), body.size(), ec);
  if (ec) {
    const std::string& fault = parser.handler().fault();
    return Error{(fault.empty() ? parser_fault(ec) : fault) + json_position(body, used)};
  }
  if (used < body.size()) return Error{"trailing characters" + json_position(body, used)};
  return std::move(parser.handler().printer());
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

}  // namespace sv::printing
