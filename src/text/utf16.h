// UTF-8 <-> UTF-16, the one conversion behind every wide-character system call (spooler,
// registry, console, browser launch, program arguments). Portable, so it is tested on every
// system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sv::text {

// UTF-8 to UTF-16; a byte that starts no valid sequence becomes one U+FFFD. A NUL stays.
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-16 to UTF-8 that never fails: an unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8_lenient(std::u16string_view utf16);

// UTF-16 to UTF-8, or nothing when an unpaired surrogate occurs.
std::optional<std::string> utf16_to_utf8_strict(std::u16string_view utf16);

// The text up to the first NUL (or the whole view when it holds none).
std::u16string_view up_to_nul(std::u16string_view text);

}  // namespace sv::text
