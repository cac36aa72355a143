#include "printing/text.h"

#include <cstddef>
#include <cstdint>

namespace sv::printing {
namespace {

unsigned char byte_at(std::string_view s, std::size_t i) {
  return static_cast<unsigned char>(s[i]);
}

bool is_continuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Decodes the character at `i` of valid UTF-8 and returns its length.
std::size_t decode_at(std::string_view s, std::size_t i, char32_t& c) {
  const unsigned char b = byte_at(s, i);
  if (b < 0x80) {
    c = b;
    return 1;
  }
  std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
  if (i + len > s.size()) len = s.size() - i;  // only on invalid input; never read past
  c = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
  for (std::size_t k = 1; k < len; ++k) c = (c << 6) | (byte_at(s, i + k) & 0x3F);
  return len;
}

// Start of the character that ends just before `end` (end > 0).
std::size_t previous_start(std::string_view s, std::size_t end) {
  std::size_t i = end - 1;
  while (i > 0 && end - i < 4 && is_continuation(byte_at(s, i))) --i;
  return i;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const unsigned char b = byte_at(text, i);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;  // overlong
      if (b == 0xED) hi = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;  // overlong
      if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (i + len > n) return false;
    const unsigned char second = byte_at(text, i + 1);
    if (second < lo || second > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      if (!is_continuation(byte_at(text, i + k))) return false;
    }
    i += len;
  }
  return true;
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
  std::size_t begin = 0;
  while (begin < text.size()) {
    char32_t c = 0;
    const std::size_t len = decode_at(text, begin, c);
    if (!is_unicode_whitespace(c)) break;
    begin += len;
  }
  std::size_t end = text.size();
  while (end > begin) {
    const std::size_t start = previous_start(text, end);
    char32_t c = 0;
    decode_at(text, start, c);
    if (!is_unicode_whitespace(c)) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

std::vector<std::string_view> split_unicode_whitespace(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t i = 0;
  std::size_t piece_start = 0;
  bool in_piece = false;
  while (i < text.size()) {
    char32_t c = 0;
    const std::size_t len = decode_at(text, i, c);
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

}  // namespace sv::printing
