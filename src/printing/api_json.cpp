// Strict decoding of the print_sheet body on top of Boost.JSON's event parser: the parser
// checks the syntax, this handler maps members onto PrintRequest and refuses everything the
// contract does not allow (wrong types, out-of-range integers, repeated or missing keys).
#include "printing/api_json.h"

#include <boost/json/basic_parser_impl.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace sv::printing {
namespace {

namespace json = boost::json;

enum class Kind : std::uint8_t { text, real, u32, u8, i32, boolean };

// The members of PrintRequest, in the order of kMembers below.
enum class Field : std::uint8_t {
  printer,
  width_mm,
  height_mm,
  width_dots,
  height_dots,
  gap_mm,
  density,
  speed,
  copies,
  offset_x_dots,
  offset_y_dots,
  tear,
  data_b64,
  dry_run,
};

struct Member {
  Field field;
  std::string_view key;
  Kind kind;
  bool required;
};

// Table order is also the order in which absent keys are reported.
constexpr Member kMembers[] = {
    {Field::printer, "printer", Kind::text, true},
    {Field::width_mm, "width_mm", Kind::real, true},
    {Field::height_mm, "height_mm", Kind::real, true},
    {Field::width_dots, "width_dots", Kind::u32, true},
    {Field::height_dots, "height_dots", Kind::u32, true},
    {Field::gap_mm, "gap_mm", Kind::real, true},
    {Field::density, "density", Kind::u8, true},
    {Field::speed, "speed", Kind::u8, true},
    {Field::copies, "copies", Kind::u32, true},
    {Field::offset_x_dots, "offset_x_dots", Kind::i32, false},
    {Field::offset_y_dots, "offset_y_dots", Kind::i32, false},
    {Field::tear, "tear", Kind::boolean, true},
    {Field::data_b64, "data_b64", Kind::text, true},
    {Field::dry_run, "dry_run", Kind::boolean, false},
};
constexpr std::size_t kMemberCount = std::size(kMembers);

// Each entry sits at its field's index, so the table can be indexed by field.
constexpr bool table_follows_fields() {
  for (std::size_t i = 0; i < kMemberCount; ++i) {
    if (static_cast<std::size_t>(kMembers[i].field) != i) return false;
  }
  return kMemberCount == static_cast<std::size_t>(Field::dry_run) + 1;
}
static_assert(table_follows_fields(), "kMembers must list every Field once, in enum order");

constexpr const Member& member(Field field) {
  return kMembers[static_cast<std::size_t>(field)];
}

// Arrays and objects nest at most this deep, the outermost object counting as one.
constexpr std::size_t kMaxDepth = 127;
// Number texts quoted in a fault description are cut to this length.
constexpr std::size_t kMaxQuoted = 40;

std::string_view expected_name(Kind kind) {
  switch (kind) {
    case Kind::text:
      return "a string";
    case Kind::real:
      return "f64";
    case Kind::u32:
      return "u32";
    case Kind::u8:
      return "u8";
    case Kind::i32:
      return "i32";
    case Kind::boolean:
      return "a boolean";
  }
  return "";
}

std::string quoted_number(std::string_view text) {
  std::string q = "`";
  q += text.substr(0, kMaxQuoted);
  if (text.size() > kMaxQuoted) q += "...";
  q += "`";
  return q;
}

bool has_fraction_or_exponent(std::string_view number) {
  return number.find_first_of(".eE") != std::string_view::npos;
}

class BodyHandler {
 public:
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);

  explicit BodyHandler(std::string_view body) : body_(body) {}

  PrintRequest& request() { return request_; }
  // Set when the handler refused the document (the parser's own faults leave it empty).
  const std::string& fault() const { return fault_; }
  // Offset of the byte to blame when the handler knows it better than the parser.
  std::size_t fault_offset() const { return fault_offset_; }

  bool on_document_begin(json::error_code&) { return true; }
  bool on_document_end(json::error_code&) { return true; }
  bool on_comment_part(json::string_view, json::error_code&) { return true; }
  bool on_comment(json::string_view, json::error_code&) { return true; }

  bool on_object_begin(json::error_code& ec) {
    if (skipping()) return enter_skipped();
    switch (target_) {
      case Target::top:
        where_ = Where::body;
        target_ = Target::none;
        return true;
      case Target::request:
        where_ = Where::request;
        target_ = Target::none;
        return true;
      case Target::none:
      case Target::skip:
      case Target::member:
        break;
    }
    return type_error("map", ec);
  }

  bool on_object_end(std::size_t, json::error_code& ec) {
    if (skip_depth_ > 0) return leave_skipped();
    if (where_ == Where::request) {
      where_ = Where::body;
      for (const Member& m : kMembers) {
        if (m.required && !was_seen(m.field)) {
          return fail("missing field `" + std::string(m.key) + "`", ec);
        }
      }
      return true;
    }
    where_ = Where::done;
    if (!seen_request_) return fail("missing field `request`", ec);
    return true;
  }

  bool on_array_begin(json::error_code& ec) {
    if (skipping()) return enter_skipped();
    return type_error("sequence", ec);
  }
  bool on_array_end(std::size_t, json::error_code&) { return leave_skipped(); }

  bool on_key_part(json::string_view s, std::size_t, json::error_code&) {
    if (skip_depth_ == 0) key_.append(s.data(), s.size());
    return true;
  }

  bool on_key(json::string_view s, std::size_t, json::error_code& ec) {
    if (skip_depth_ > 0) return true;
    std::string_view key(s.data(), s.size());
    if (!key_.empty()) {
      key_.append(key);
      key = key_;
    }
    const bool ok = where_ == Where::body ? body_key(key, ec) : request_key(key, ec);
    key_.clear();
    return ok;
  }

  bool on_string_part(json::string_view s, std::size_t, json::error_code& ec) {
    if (skipping()) return true;
    if (!is_member(Kind::text)) return type_error("string", ec);
    text_target().append(s.data(), s.size());
    string_in_parts_ = true;
    return true;
  }

  bool on_string(json::string_view s, std::size_t, json::error_code& ec) {
    if (skipping()) return done_value();
    if (!is_member(Kind::text)) return type_error("string", ec);
    if (field_ == Field::data_b64 && !string_in_parts_ && inside_body(s.data())) {
      // No escapes: the text stands in the body as it is.
      request_.data_b64 = std::string_view(s.data(), s.size());
    } else {
      text_target().append(s.data(), s.size());
      if (field_ == Field::data_b64) request_.data_b64 = request_.data_b64_storage;
    }
    string_in_parts_ = false;
    return done_value();
  }

  bool on_number_part(json::string_view, json::error_code&) { return true; }

  bool on_int64(std::int64_t v, json::string_view s, json::error_code& ec) {
    return on_integer(v, v >= 0 ? static_cast<std::uint64_t>(v) : 0, v < 0, s, ec);
  }
  bool on_uint64(std::uint64_t v, json::string_view s, json::error_code& ec) {
    return on_integer(0, v, false, s, ec);
  }

  bool on_double(double d, json::string_view s, json::error_code& ec) {
    if (skipping()) return done_value();
    const std::string_view text(s.data(), s.size());
    if (is_member(Kind::real)) return set_real(text, d);
    blame_number(s);
    if (is_integer_member() && !has_fraction_or_exponent(text)) {
      return fail_value("invalid value: integer " + quoted_number(text), ec);
    }
    return type_error("floating point " + quoted_number(text), ec);
  }

  bool on_bool(bool b, json::error_code& ec) {
    if (skipping()) return done_value();
    if (!is_member(Kind::boolean)) return type_error(b ? "boolean `true`" : "boolean `false`", ec);
    (field_ == Field::tear ? request_.tear : request_.dry_run) = b;
    return done_value();
  }

  bool on_null(json::error_code& ec) {
    if (skipping()) return done_value();
    return type_error("null", ec);
  }

 private:
  enum class Where { top, body, request, done };
  // What the next value is for: the body, the request, a skipped member or field_.
  enum class Target : std::uint8_t { none, top, request, skip, member };

  bool skipping() const { return skip_depth_ > 0 || target_ == Target::skip; }

  bool enter_skipped() {
    ++skip_depth_;
    return true;
  }
  bool leave_skipped() {
    if (skip_depth_ > 0 && --skip_depth_ == 0) target_ = Target::none;
    return true;
  }
  bool done_value() {
    if (skip_depth_ == 0) target_ = Target::none;
    return true;
  }

  bool is_member(Kind kind) const {
    return target_ == Target::member && member(field_).kind == kind;
  }
  bool was_seen(Field field) const { return (seen_ & (1u << static_cast<unsigned>(field))) != 0; }
  bool is_integer_member() const {
    return is_member(Kind::u32) || is_member(Kind::u8) || is_member(Kind::i32);
  }
  bool inside_body(const char* p) const {
    return std::less_equal<>{}(body_.data(), p) && std::less<>{}(p, body_.data() + body_.size());
  }

  std::string& text_target() {
    if (field_ == Field::printer) return request_.printer;
    auto& storage = request_.data_b64_storage;
    // Past the inline buffer, so moving the request keeps data_b64 pointing at live bytes.
    if (storage.capacity() < 64) storage.reserve(64);
    return storage;
  }

  bool body_key(std::string_view key, json::error_code& ec) {
    if (key != "request") {
      target_ = Target::skip;
      return true;
    }
    if (seen_request_) return fail("duplicate field `request`", ec);
    seen_request_ = true;
    target_ = Target::request;
    return true;
  }

  bool request_key(std::string_view key, json::error_code& ec) {
    for (const Member& m : kMembers) {
      if (m.key != key) continue;
      if (was_seen(m.field)) return fail("duplicate field `" + std::string(key) + "`", ec);
      seen_ |= 1u << static_cast<unsigned>(m.field);
      target_ = Target::member;
      field_ = m.field;
      return true;
    }
    target_ = Target::skip;
    return true;
  }

  bool on_integer(std::int64_t sv, std::uint64_t uv, bool negative, json::string_view s,
                  json::error_code& ec) {
    if (skipping()) return done_value();
    const std::string_view text(s.data(), s.size());
    if (is_member(Kind::real)) return set_real(text, negative ? double(sv) : double(uv));
    if (!is_integer_member()) {
      blame_number(s);
      return type_error("integer " + quoted_number(text), ec);
    }
    const Kind kind = member(field_).kind;
    const bool fits = kind == Kind::i32
                          ? (negative ? sv >= std::numeric_limits<std::int32_t>::min()
                                      : uv <= std::numeric_limits<std::int32_t>::max())
                          : !negative && uv <= (kind == Kind::u8 ? 0xFFu : 0xFFFFFFFFu);
    if (!fits) {
      blame_number(s);
      return fail_value("invalid value: integer " + quoted_number(text), ec);
    }
    switch (field_) {
      case Field::width_dots:
        request_.width_dots = static_cast<std::uint32_t>(uv);
        break;
      case Field::height_dots:
        request_.height_dots = static_cast<std::uint32_t>(uv);
        break;
      case Field::density:
        request_.density = static_cast<std::uint8_t>(uv);
        break;
      case Field::speed:
        request_.speed = static_cast<std::uint8_t>(uv);
        break;
      case Field::copies:
        request_.copies = static_cast<std::uint32_t>(uv);
        break;
      case Field::offset_x_dots:
        request_.offset_x_dots = static_cast<std::int32_t>(sv);
        break;
      case Field::offset_y_dots:
        request_.offset_y_dots = static_cast<std::int32_t>(sv);
        break;
      case Field::printer:
      case Field::width_mm:
      case Field::height_mm:
      case Field::gap_mm:
      case Field::tear:
      case Field::data_b64:
      case Field::dry_run:
        break;  // not integer members; is_integer_member() let none of them through
    }
    return done_value();
  }

  bool set_real(std::string_view text, double parsed) {
    // The parser's own conversion may be off by one unit in the last place; the decimal text
    // read again gives the nearest double, which the millimetre rounding relies on.
    double exact = parsed;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), exact);
    if (r.ec != std::errc{}) exact = parsed;
    (field_ == Field::width_mm    ? request_.width_mm
     : field_ == Field::height_mm ? request_.height_mm
                                  : request_.gap_mm) = exact;
    return done_value();
  }

  void blame_number(json::string_view s) {
    if (!s.empty() && inside_body(s.data())) {
      fault_offset_ = static_cast<std::size_t>(s.data() + s.size() - 1 - body_.data());
    }
  }

  bool type_error(const std::string& what, json::error_code& ec) {
    std::string expected;
    if (target_ == Target::top) {
      expected = "struct Body";
    } else if (target_ == Target::request) {
      expected = "struct PrintRequest with " + std::to_string(kMemberCount) + " elements";
    } else {
      expected = expected_name(member(field_).kind);
    }
    return fail("invalid type: " + what + ", expected " + expected, ec);
  }
  bool fail_value(const std::string& what, json::error_code& ec) {
    return fail(what + ", expected " + std::string(expected_name(member(field_).kind)), ec);
  }
  bool fail(std::string message, json::error_code& ec) {
    fault_ = std::move(message);
    ec = json::error::test_failure;
    return false;
  }

  std::string_view body_;
  PrintRequest request_;
  Where where_ = Where::top;
  Target target_ = Target::top;
  Field field_ = Field::printer;  // meaningful while target_ is Target::member
  int skip_depth_ = 0;            // open containers inside a skipped value
  std::uint32_t seen_ = 0;
  bool seen_request_ = false;
  bool string_in_parts_ = false;
  std::string key_;
  std::string fault_;
  std::size_t fault_offset_ = std::size_t(-1);
};

std::string parser_fault(const json::error_code& ec) {
  if (ec == json::error::incomplete) return "unexpected end of input";
  if (ec == json::error::too_deep) return "nesting deeper than 127 levels";
  if (ec == json::error::syntax) return "invalid JSON syntax";
  if (ec == json::error::exponent_overflow) return "number out of range";
  return ec.message();
}

// Line and column of the byte at `offset`, both counted from 1; the column counts bytes.
// An offset at the end of the text names the last byte read (column 0 on an empty line).
std::string position(std::string_view text, std::size_t offset) {
  const bool at_end = offset >= text.size();
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t nl = before.rfind('\n');
  const std::size_t line_start = nl == std::string_view::npos ? 0 : nl + 1;
  const std::size_t column = offset - line_start + (at_end ? 0 : 1);
  return " at line " + std::to_string(line) + " column " + std::to_string(column);
}

void append_escaped(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t run = 0;  // start of the pending stretch that needs no escape
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
        break;
    }
  }
  out.append(s.data() + run, s.size() - run);
  out += '"';
}

const char* boolean(bool b) {
  return b ? "true" : "false";
}

}  // namespace

Result<PrintRequest> decode_print_body(std::string_view body) {
  json::parse_options options;
  options.max_depth = kMaxDepth;
  json::basic_parser<BodyHandler> parser(options, body);
  json::error_code ec;
  const std::size_t used = parser.write_some(false, body.data(), body.size(), ec);
  BodyHandler& handler = parser.handler();
  if (ec) {
    if (!handler.fault().empty()) {
      const std::size_t at =
          handler.fault_offset() != std::size_t(-1) ? handler.fault_offset() : used;
      return Error{handler.fault() + position(body, at)};
    }
    return Error{parser_fault(ec) + position(body, used)};
  }
  // The parser stops after the value and its trailing white space.
  if (used < body.size()) return Error{"trailing characters" + position(body, used)};
  return std::move(handler.request());
}

std::string_view data_b64_text(const PrintRequest& request) {
  if (!request.data_b64_storage.empty()) return request.data_b64_storage;
  return request.data_b64;
}

std::string encode_health(std::size_t printers) {
  return "{\"ok\":true,\"printers\":" + std::to_string(printers) + "}";
}

std::string encode_printer_list(const std::vector<PrinterInfo>& printers) {
  std::string out = "[";
  for (const PrinterInfo& p : printers) {
    if (out.size() > 1) out += ',';
    out += "{\"name\":";
    append_escaped(out, p.name);
    out += ",\"is_default\":";
    out += boolean(p.is_default);
    out += ",\"is_zeko\":";
    out += boolean(p.is_zeko);
    out += ",\"port\":";
    append_escaped(out, p.port);
    out += ",\"driver\":";
    append_escaped(out, p.driver);
    out += '}';
  }
  out += ']';
  return out;
}

std::string encode_print_reply(const PrintReply& reply) {
  std::string out = "{\"bytes\":" + std::to_string(reply.bytes) +
                    ",\"elapsed_ms\":" + std::to_string(reply.elapsed_ms) + ",\"printer\":";
  append_escaped(out, reply.printer);
  out += '}';
  return out;
}

}  // namespace sv::printing
