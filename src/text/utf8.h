// UTF-8 checks, decoding and white space, shared by the HTTP layer (request lines, origins)
// and the print layer (printer names, printer order). Pure functions over bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sv::text {

bool is_valid_utf8(std::string_view text);

// Decodes the sequence at `pos` into `out` and returns its length, or 0 when it is malformed
// (truncated, overlong, a surrogate or above U+10FFFF).
std::size_t decode_utf8(std::string_view text, std::size_t pos, char32_t& out);
// Appends the UTF-8 form of a Unicode scalar value.
void append_utf8(std::string& out, char32_t c);

// Characters with the Unicode White_Space property.
bool is_unicode_whitespace(char32_t c);
// Trims White_Space characters from both ends. A malformed byte counts as a character that
// is not white space.
std::string_view trim_unicode_whitespace(std::string_view text);
// Splits at runs of White_Space characters, dropping empty pieces.
std::vector<std::string_view> split_unicode_whitespace(std::string_view text);

}  // namespace sv::text
