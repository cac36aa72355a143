// wchar_t text for the Windows sources (Windows builds only): the portable UTF-16
// conversion seen through the system's 16-bit wchar_t.
#pragma once

#include <string>
#include <string_view>

#include "text/utf16.h"

namespace sv::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring utf8_to_wide(std::string_view utf8) {
  const std::u16string u = text::utf8_to_utf16(utf8);
  return std::wstring(u.begin(), u.end());
}

inline std::u16string_view as_utf16(std::wstring_view wide) {
  return {reinterpret_cast<const char16_t*>(wide.data()), wide.size()};
}

// Never fails: an unpaired surrogate becomes U+FFFD.
inline std::string wide_to_utf8(std::wstring_view wide) {
  return text::utf16_to_utf8_lenient(as_utf16(wide));
}

}  // namespace sv::platform
