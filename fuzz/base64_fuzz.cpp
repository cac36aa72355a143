// decode_bitmap_b64 against a byte-by-byte reading of its rules, and the measuring and
// partly-filling forms of the same decoder against the whole one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "printing/base64.h"

namespace {

using sv::Error;
using sv::Result;

int value_of(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The rules as stated: skip LF, CR and space; "=" ends the text; groups of four give three
// bytes; a leftover of one character is a length fault; any other byte is invalid.
Result<std::string> reference(std::string_view text) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (unsigned char c : text) {
    if (c == '\n' || c == '\r' || c == ' ') continue;
    if (c == '=') break;
    const int v = value_of(c);
    if (v < 0) return Error{std::string(sv::printing::kBase64Invalid)};
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16));
      out.push_back(static_cast<char>(bits >> 8));
      out.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return Error{std::string(sv::printing::kBase64BadLength)};
  if (count == 2) out.push_back(static_cast<char>(bits >> 4));
  if (count == 3) {
    out.push_back(static_cast<char>(bits >> 10));
    out.push_back(static_cast<char>(bits >> 2));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto expected = reference(text);
  const auto decoded = sv::printing::decode_bitmap_b64(text);
  if (expected.ok() != decoded.ok()) __builtin_trap();
  if (!expected.ok()) {
    if (expected.error() != decoded.error()) __builtin_trap();
    return 0;
  }
  if (expected.value() != decoded.value()) __builtin_trap();

  // Measuring only, and filling a buffer too short by a few bytes: same length, same prefix.
  const std::string& bytes = expected.value();
  const auto measured = sv::printing::decode_bitmap_b64_into(text, nullptr, 0);
  if (!measured.ok() || measured.value() != bytes.size()) __builtin_trap();
  const std::size_t room = bytes.size() - std::min<std::size_t>(bytes.size(), size % 5);
  std::string partial(room, '\0');
  const auto filled = sv::printing::decode_bitmap_b64_into(text, partial.data(), room);
  if (!filled.ok() || filled.value() != bytes.size()) __builtin_trap();
  if (partial != std::string_view(bytes).substr(0, room)) __builtin_trap();
  return 0;
}
