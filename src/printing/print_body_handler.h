// The print_sheet body's member rules on Boost.JSON's event parser: the parser checks the
// syntax, this handler maps members onto PrintRequest and refuses everything the contract
// does not allow (wrong types, out-of-range integers, repeated or missing keys). Used by the
// body decoder in print_body.cpp only.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "printing/api_types.h"
#include "printing/print_body_members.h"
#include "printing/strict_json.h"

namespace sv::printing::detail {

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

class BodyHandler : public StrictHandler {
 public:
  // With a raster target, data_b64 goes there piece by piece instead of into the request.
  explicit BodyHandler(Base64Target* raster) : raster_(raster) {}

  // The bytes that the next write_some parses and their offset in the whole body.
  void set_chunk(std::string_view chunk, std::size_t base) {
    body_ = chunk;
    base_ = base;
  }

  PrintRequest& request() { return request_; }
  // Offset of the byte to blame when the handler knows it better than the parser.
  std::size_t fault_offset() const { return fault_offset_; }

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
  std::size_t fault_offset_ = std::size_t(-1);
};

}  // namespace sv::printing::detail
