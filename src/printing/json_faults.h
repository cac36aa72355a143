// Fault texts shared by the strict body decoders (print_sheet and the printer commands), so
// that both describe the same JSON fault in the same words.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <boost/json/error.hpp>

namespace sv::printing {

// Arrays and objects nest at most this deep, the outermost object counting as one.
inline constexpr std::size_t kMaxJsonDepth = 127;

// The parser's own fault ("invalid JSON syntax", "unexpected end of input", ...).
std::string parser_fault(const boost::json::error_code& ec);

// A number's text in backquotes, cut to 40 characters with "..." after.
std::string quoted_number(std::string_view text);

}  // namespace sv::printing
