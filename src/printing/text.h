// UTF-8 helpers shared by the request reader, the origin policy and the print job.
#pragma once

#include <string_view>
#include <vector>

namespace sv::printing {

bool is_valid_utf8(std::string_view text);
// Characters with the Unicode White_Space property, decoded from UTF-8.
bool is_unicode_whitespace(char32_t c);
// Trims White_Space characters from both ends; `text` must be valid UTF-8.
std::string_view trim_unicode_whitespace(std::string_view text);
// Splits at runs of White_Space characters, dropping empty pieces.
std::vector<std::string_view> split_unicode_whitespace(std::string_view text);

}  // namespace sv::printing
