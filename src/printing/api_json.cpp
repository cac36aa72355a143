// Strict decoding of the print_sheet body on top of Boost.JSON's event parser: the parser
// checks the syntax, this handler maps members onto PrintRequest and refuses everything the
// contract does not allow (wrong types, out-of-range integers, repeated or missing keys).
#include "printing/api_json.h"

#include "printing/base64.h"
#include "printing/json_faults.h"
#include "printing/raster_memory.h"
#include "printing/tspl.h"

#include <boost/json/basic_parser_impl.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace sv::printing {
namespace {

namespace json = boost::json;

// Receives data_b64 piece by piece when a body is decoded as it arrives.
class Base64Target {
 public:
  virtual void base64_piece(std::string_view piece) = 0;
  // Takes the leading run of alphabet characters of body bytes that lie inside the Base64
  // text, past the JSON parser; returns its length.
  virtual std::size_t base64_alphabet(std::string_view bytes) = 0;

 protected:
  ~Base64Target() = default;
};

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

bool has_fraction_or_exponent(std::string_view number) {
  return number.find_first_of(".eE") != std::string_view::npos;
}

class BodyHandler {
 public:
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);

  // With a raster target, data_b64 goes there piece by piece instead of into the request.
  explicit BodyHandler(Base64Target* raster) : raster_(raster) {}

  // The bytes that the next write_some parses and their offset in the whole body.
  void set_chunk(std::string_view chunk, std::size_t base) {
    body_ = chunk;
    base_ = base;
  }

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

  // True between writes while the parser waits inside data_b64's text for its next bytes.
  bool inside_raster_text() const { return inside_raster_text_; }

  bool on_string_part(json::string_view s, std::size_t, json::error_code&) {
    if (skipping()) return true;
    // A string where another type belongs is refused at its end, as on_string does, so
    // the position does not depend on where escapes or chunk boundaries cut it.
    if (!is_member(Kind::text)) return true;
    if (raster_ != nullptr && field_ == Field::data_b64) {
      raster_->base64_piece(std::string_view(s.data(), s.size()));
      // Pieces also come before escapes, within one write; only the last one counts.
      inside_raster_text_ = true;
      return true;
    }
    text_target().append(s.data(), s.size());
    string_in_parts_ = true;
    return true;
  }

  bool on_string(json::string_view s, std::size_t, json::error_code& ec) {
    inside_raster_text_ = false;
    if (skipping()) return done_value();
    if (!is_member(Kind::text)) return type_error("string", ec);
    if (raster_ != nullptr && field_ == Field::data_b64) {
      raster_->base64_piece(std::string_view(s.data(), s.size()));
      return done_value();
    }
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

  // A number split across chunks arrives in parts; the last comes with the value.
  bool on_number_part(json::string_view s, json::error_code&) {
    if (!skipping()) number_.append(s.data(), s.size());
    return true;
  }

  bool on_int64(std::int64_t v, json::string_view s, json::error_code& ec) {
    return on_integer(v, v >= 0 ? static_cast<std::uint64_t>(v) : 0, v < 0, s, ec);
  }
  bool on_uint64(std::uint64_t v, json::string_view s, json::error_code& ec) {
    return on_integer(0, v, false, s, ec);
  }

  bool on_double(double d, json::string_view s, json::error_code& ec) {
    if (skipping()) return done_value();
    const std::string_view text = number_text(s);
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
  // The whole text of the number whose last part is `s`.
  std::string_view number_text(json::string_view s) {
    if (number_.empty()) return {s.data(), s.size()};
    number_.append(s.data(), s.size());
    return number_;
  }

  bool done_value() {
    number_.clear();
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
    const std::string_view text = number_text(s);
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

  // The number's last byte. The parser hands over the last piece of a number that spans
  // chunks; an empty piece means the number ended with the previous chunk.
  void blame_number(json::string_view s) {
    if (!s.empty() && inside_body(s.data())) {
      fault_offset_ = base_ + static_cast<std::size_t>(s.data() + s.size() - 1 - body_.data());
    } else if (s.empty() && base_ > 0) {
      fault_offset_ = base_ - 1;
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

  Base64Target* raster_;
  std::string_view body_;
  std::size_t base_ = 0;
  PrintRequest request_;
  Where where_ = Where::top;
  Target target_ = Target::top;
  Field field_ = Field::printer;  // meaningful while target_ is Target::member
  int skip_depth_ = 0;            // open containers inside a skipped value
  std::uint32_t seen_ = 0;
  bool seen_request_ = false;
  bool string_in_parts_ = false;
  bool inside_raster_text_ = false;
  std::string key_;
  std::string number_;
  std::string fault_;
  std::size_t fault_offset_ = std::size_t(-1);
};

// Line and column of byte offsets in a body seen chunk by chunk, both counted from 1; the
// column counts bytes. An offset at the end of the body names the last byte read (column 0
// on an empty line). Offsets from one before the current chunk to its end can be named.
class Positions {
 public:
  explicit Positions(std::size_t total) : total_(total) {}

  void begin_chunk(std::string_view chunk) { chunk_ = chunk; }
  // Bytes between chunks that hold no line feed.
  void skip(std::size_t count) {
    if (count == 0) return;
    prev_lines_ = lines_;
    prev_line_start_ = line_start_;
    base_ += count;
  }
  void end_chunk() {
    if (chunk_.empty()) return;
    // The line feeds found by memchr: a Base64 text of many MiB usually has none.
    std::size_t last_nl = std::string_view::npos, before_last_nl = std::string_view::npos;
    std::size_t count = 0;
    for (const char* p = chunk_.data();
         const void* hit =
             std::memchr(p, '\n', static_cast<std::size_t>(chunk_.data() + chunk_.size() - p));) {
      before_last_nl = last_nl;
      last_nl = static_cast<std::size_t>(static_cast<const char*>(hit) - chunk_.data());
      p = static_cast<const char*>(hit) + 1;
      ++count;
    }
    // [0, base_ + size - 1): as below, without the chunk's last byte if it is a line feed.
    const bool ends_with_nl = last_nl == chunk_.size() - 1;
    prev_lines_ = lines_ + count - (ends_with_nl ? 1 : 0);
    const std::size_t prev_nl = ends_with_nl ? before_last_nl : last_nl;
    prev_line_start_ = prev_nl == std::string_view::npos ? line_start_ : base_ + prev_nl + 1;
    lines_ += count;
    if (last_nl != std::string_view::npos) line_start_ = base_ + last_nl + 1;
    base_ += chunk_.size();
    chunk_ = {};
  }

  std::string at(std::size_t offset) const {
    const bool at_end = offset >= total_;
    offset = std::min(offset, total_);
    std::size_t lines = lines_;
    std::size_t line_start = line_start_;
    if (offset + 1 == base_) {
      lines = prev_lines_;
      line_start = prev_line_start_;
    } else if (offset >= base_) {
      const std::size_t upto = std::min(offset - base_, chunk_.size());
      std::string_view before = chunk_.substr(0, upto);
      lines += static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
      const std::size_t nl = before.rfind('\n');
      if (nl != std::string_view::npos) line_start = base_ + nl + 1;
    }
    const std::size_t column = offset - line_start + (at_end ? 0 : 1);
    return " at line " + std::to_string(lines + 1) + " column " + std::to_string(column);
  }

 private:
  std::size_t total_;
  std::string_view chunk_;
  std::size_t base_ = 0;                              // offset of chunk_
  std::size_t lines_ = 0, line_start_ = 0;            // over [0, base_)
  std::size_t prev_lines_ = 0, prev_line_start_ = 0;  // over [0, base_ - 1)
};

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

// The decoder over a body given in chunks: Boost.JSON's incremental parser, the member rules
// of BodyHandler, and positions counted across chunks. After the first fault the remaining
// chunks are ignored.
class BodyParser {
 public:
  BodyParser(Base64Target* raster, std::size_t total)
      : raster_(raster), parser_(parse_options(), raster), positions_(total) {}

  // No write ends inside a literal (null, true, false) or inside a UTF-8
  // sequence: the parser places a fault there by where the write began, and the positions
  // must not depend on how the body was cut. Such a tail waits for the next chunk.
  void feed(std::string_view chunk) {
    if (!held_.empty()) {
      joined_.assign(held_);
      joined_.append(chunk);
      held_.clear();
      chunk = joined_;
    }
    // Holding a literal back can leave a cut sequence at the new end, and the other way round.
    std::size_t tail = 0;
    for (std::size_t more = unfinished_tail(chunk); more > 0;
         more = unfinished_tail(chunk.substr(0, chunk.size() - tail))) {
      tail += more;
    }
    write(chunk.substr(0, chunk.size() - tail));
    held_.assign(chunk.substr(chunk.size() - tail));
  }

  // Bytes at the end of `chunk` that may be the start of a literal or of a UTF-8 sequence.
  std::size_t unfinished_tail(std::string_view chunk) const {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(chunk[i]); };
    const std::size_t n = chunk.size();
    // The parser waits for a sequence's full length before it judges any of its bytes.
    std::size_t sequence = 0;
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
      const unsigned char lead = byte(n - back);
      if (lead < 0xC0) continue;
      const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (back < length) sequence = back;
    }
    // An escape is judged whole as well; "\uD83D\uDE00" is the longest, 12 bytes.
    std::size_t escape = 0;
    for (std::size_t back = 1; back < kLongestEscape && back <= n; ++back) {
      if (chunk[n - back] == '\\') escape = back;
    }
    sequence = std::max(sequence, escape);
    // A literal starts with a small letter after a colon, a comma, an opening bracket, white
    // space or nothing; the parser judges it at its start only when all of it is there.
    for (std::size_t p = n > kLongestLiteral - 1 ? n - (kLongestLiteral - 1) : 0; p < n; ++p) {
      if (chunk[p] < 'a' || chunk[p] > 'z') continue;
      const std::optional<char> before = p > 0 ? std::optional<char>(chunk[p - 1]) : last_written_;
      if (!before || std::string_view(":,[ \t\r\n").find(*before) != std::string_view::npos) {
        return std::max(sequence, n - p);
      }
    }
    return sequence;
  }

  // One call of the parser; `more` false for the body's last bytes.
  void write(std::string_view chunk, bool more = true) {
    if (chunk.empty() && more) return;
    if (!more) ended_ = true;
    if (!chunk.empty()) last_written_ = chunk.back();
    if (fault_) {
      base_ += chunk.size();
      return;
    }
    if (raster_ != nullptr && parser_.handler().inside_raster_text()) {
      // The parser waits inside the Base64 text, where plain alphabet characters change
      // nothing but the raster: they go straight to the decoder, which spares the parser's
      // scan of many MiB. The parser goes on with the first other byte.
      const std::size_t taken = raster_->base64_alphabet(chunk);
      positions_.skip(taken);
      base_ += taken;
      chunk.remove_prefix(taken);
      if (chunk.empty() && more) return;
    }
    positions_.begin_chunk(chunk);
    parser_.handler().set_chunk(chunk, base_);
    std::size_t used = 0;
    if (!parser_.done()) {
      json::error_code ec;
      used = parser_.write_some(more, chunk.empty() ? "" : chunk.data(), chunk.size(), ec);
      if (ec) fail(ec, base_ + used);
    }
    // After the document only white space may follow; the parser takes it while it is done.
    if (!fault_ && parser_.done()) {
      const std::size_t other = chunk.find_first_not_of(" \t\r\n", used);
      if (other != std::string_view::npos) {
        fault_ = "trailing characters" + positions_.at(base_ + other);
      }
    }
    positions_.end_chunk();
    base_ += chunk.size();
  }

  Result<PrintRequest> finish() {
    if (!ended_) {
      const std::string rest = std::move(held_);
      held_.clear();
      write(rest, false);
    }
    if (fault_) return Error{*fault_};
    return std::move(parser_.handler().request());
  }

 private:
  static json::parse_options parse_options() {
    json::parse_options options;
    options.max_depth = kMaxJsonDepth;
    return options;
  }

  void fail(const json::error_code& ec, std::size_t parser_offset) {
    const BodyHandler& handler = parser_.handler();
    if (!handler.fault().empty()) {
      const std::size_t at =
          handler.fault_offset() != std::size_t(-1) ? handler.fault_offset() : parser_offset;
      fault_ = handler.fault() + positions_.at(at);
    } else {
      fault_ = parser_fault(ec) + positions_.at(parser_offset);
    }
  }

  static constexpr std::size_t kLongestLiteral = 5;  // "false"
  static constexpr std::size_t kLongestEscape = 12;  // a surrogate pair

  Base64Target* raster_;
  json::basic_parser<BodyHandler> parser_;
  Positions positions_;
  std::string held_;
  std::string joined_;
  std::optional<char> last_written_;  // none before the first byte of the body
  bool ended_ = false;                // the last bytes were written
  std::size_t base_ = 0;
  std::optional<std::string> fault_;
};

}  // namespace

Result<PrintRequest> decode_print_body(std::string_view body) {
  BodyParser parser(nullptr, body.size());
  parser.write(body, false);
  return parser.finish();
}

// Decodes data_b64 into reserved memory as its pieces arrive, at kTsplHeadRoom from the start
// so that the stream can later be framed around it in place.
class PrintBodyStream::Impl final : public Base64Target {
 public:
  explicit Impl(std::uint64_t body_length)
      : parser_(this, static_cast<std::size_t>(body_length)),
        // Base64 yields at most three bytes per four characters of the body.
        max_raster_(static_cast<std::size_t>(body_length / 4 * 3 + 3)) {}

  void base64_piece(std::string_view piece) override {
    make_room(piece.size());
    decoder_.feed(piece);
  }

  std::size_t base64_alphabet(std::string_view bytes) override {
    make_room(bytes.size());
    return decoder_.feed_alphabet(bytes);
  }

  // Room for what `text_bytes` more characters can add, so memory follows the bytes received.
  void make_room(std::size_t text_bytes) {
    if (!memory_ && !reserve_failed_) {
      memory_ = take_raster_memory(kTsplHeadRoom + max_raster_ + kTsplTailRoom);
      reserve_failed_ = !memory_;
    }
    if (memory_ && !decoder_.failed()) {
      const std::size_t room = std::min(max_raster_, decoder_.decoded() + text_bytes / 4 * 3 + 3);
      if (room > committed_ && memory_->commit(kTsplHeadRoom + room)) {
        committed_ = room;
        decoder_.set_output(memory_->data() + kTsplHeadRoom, committed_);
      }
    }
  }

  ~Impl() { give_back_raster_memory(std::move(memory_)); }

  BodyParser parser_;
  std::size_t max_raster_;
  std::optional<platform::ReservedMemory> memory_;
  bool reserve_failed_ = false;
  std::size_t committed_ = 0;
  Base64Decoder decoder_;
};

PrintBodyStream::PrintBodyStream(std::uint64_t body_length)
    : impl_(std::make_unique<Impl>(body_length)) {}
PrintBodyStream::~PrintBodyStream() = default;

void PrintBodyStream::feed(std::string_view chunk) {
  impl_->parser_.feed(chunk);
}

Result<StreamedPrint> PrintBodyStream::finish() {
  auto request = impl_->parser_.finish();
  if (!request) return Error{request.error()};
  StreamedPrint print{std::move(request).value(), impl_->decoder_.finish(), {}};
  // Written only while it fitted what was committed; a longer raster fails the length check.
  if (print.raster && print.raster.value() <= impl_->committed_) {
    print.memory = std::move(impl_->memory_);
  }
  return print;
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
