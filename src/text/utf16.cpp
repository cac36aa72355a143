#include "text/utf16.h"

#include "text/utf8.h"

namespace sv::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Converts, replacing unpaired surrogates; reports through `clean` whether any was met.
std::string convert(std::u16string_view in, bool& clean) {
  std::string out;
  out.reserve(in.size());
  clean = true;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char16_t u = in[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      const char32_t c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(in[i + 1]) - 0xDC00);
      append_utf8(out, c);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      clean = false;
      append_utf8(out, kReplacement);
    } else {
      append_utf8(out, u);
    }
  }
  return out;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    char32_t c = 0;
    const std::size_t len = decode_utf8(s, i, c);
    if (len == 0) {
      // One replacement per byte that starts no valid sequence; resynchronise on the next.
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string utf16_to_utf8_lenient(std::u16string_view utf16) {
  bool clean = true;
  return convert(utf16, clean);
}

std::optional<std::string> utf16_to_utf8_strict(std::u16string_view utf16) {
  bool clean = true;
  std::string out = convert(utf16, clean);
  if (!clean) return std::nullopt;
  return out;
}

std::u16string_view up_to_nul(std::u16string_view text) {
  const auto nul = text.find(u'\0');
  return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

}  // namespace sv::text
