// The one reader of unsigned decimal numbers in requests and on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sv::host {

// Digits with an optional single leading "+", nothing around them. Nothing when the text is
// empty, a lone "+", holds any other character (a "-" included) or exceeds `max`.
std::optional<std::uint64_t> parse_decimal(std::string_view text, std::uint64_t max);

}  // namespace sv::host
