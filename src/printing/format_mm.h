// Millimetre values of the TSPL stream: at most two decimals, no trailing zeros.
#pragma once

#include <cstddef>
#include <string>

namespace sv::printing {

// Longest text format_mm_to can write (fixed notation of the largest double, two decimals).
inline constexpr std::size_t kFormatMmMax = 320;

// Rounds the exact value of `value` to hundredths (ties to even), then drops trailing zeros
// and a trailing point: 40.0 -> "40", 62.5 -> "62.5", 2.675 -> "2.67". Non-finite values and
// results that read "-0" give "0".
std::string format_mm(double value);

// As format_mm, into `out` (at least kFormatMmMax bytes); returns the length written.
std::size_t format_mm_to(double value, char* out);

}  // namespace sv::printing
