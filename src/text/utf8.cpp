#include "text/utf8.h"

namespace sv::text {
namespace {

bool is_continuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Decodes at `pos`; a malformed byte comes back as itself with length 1, so callers that
// only look for white space walk any input byte by byte.
std::size_t decode_or_byte(std::string_view text, std::size_t pos, char32_t& out) {
  const std::size_t len = decode_utf8(text, pos, out);
  if (len != 0) return len;
  out = static_cast<unsigned char>(text[pos]);
  return 1;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  char32_t c = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = decode_utf8(text, i, c);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::size_t decode_utf8(std::string_view text, std::size_t pos, char32_t& out) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) {
    out = b0;
    return 1;
  }
  std::size_t len = 0;
  char32_t c = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - pos < len) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[pos + k]);
    if (!is_continuation(b)) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  out = c;
  return len;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool is_unicode_whitespace(char32_t c) {
  switch (c) {
    case 0x0009:
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0020:
    case 0x0085:
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::string_view trim_unicode_whitespace(std::string_view text) {
  // One forward pass: UTF-8 cannot be decoded backwards without re-checking every byte.
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t len = decode_or_byte(text, i, c);
    if (!is_unicode_whitespace(c)) {
      if (begin == text.size()) begin = i;
      end = i + len;
    }
    i += len;
  }
  if (begin == text.size()) return text.substr(text.size());
  return text.substr(begin, end - begin);
}

std::vector<std::string_view> split_unicode_whitespace(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t piece_start = 0;
  bool in_piece = false;
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t len = decode_or_byte(text, i, c);
    if (is_unicode_whitespace(c)) {
      if (in_piece) pieces.push_back(text.substr(piece_start, i - piece_start));
      in_piece = false;
    } else if (!in_piece) {
      piece_start = i;
      in_piece = true;
    }
    i += len;
  }
  if (in_piece) pieces.push_back(text.substr(piece_start));
  return pieces;
}

}  // namespace sv::text
