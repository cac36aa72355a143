// UTF-8 <-> UTF-16 for the texts exchanged with the Windows spooler and registry. Portable,
// so the conversions are tested on every system.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sv::printing {

// Decodes the UTF-8 sequence at `pos` into `out` and returns its length, or 0 when it is
// malformed (overlong forms, surrogates and values above U+10FFFF included).
std::size_t decode_utf8(std::string_view utf8, std::size_t pos, char32_t& out);
// Appends the UTF-8 form of a Unicode scalar value.
void append_utf8(std::string& out, char32_t c);

// UTF-8 to UTF-16; a malformed byte sequence becomes U+FFFD. A NUL inside the input stays.
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-16 to UTF-8 that never fails: an unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8_lenient(std::u16string_view utf16);

// UTF-16 to UTF-8, or nothing when an unpaired surrogate occurs.
std::optional<std::string> utf16_to_utf8_strict(std::u16string_view utf16);

// The text up to the first NUL (or the whole view when it holds none).
std::u16string_view up_to_nul(std::u16string_view text);

}  // namespace sv::printing
