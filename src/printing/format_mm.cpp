#include "printing/format_mm.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace sv::printing {

std::size_t format_mm_to(double value, char* out) {
  if (!std::isfinite(value)) {
    out[0] = '0';
    return 1;
  }
  // to_chars rounds the exact binary value, ties to even, unlike a decimal round trip.
  const auto r = std::to_chars(out, out + kFormatMmMax, value, std::chars_format::fixed, 2);
  std::size_t n = static_cast<std::size_t>(r.ptr - out);
  while (n > 0 && out[n - 1] == '0') --n;
  if (n > 0 && out[n - 1] == '.') --n;
  const std::string_view text(out, n);
  if (text.empty() || text == "-0") {
    out[0] = '0';
    return 1;
  }
  return n;
}

std::string format_mm(double value) {
  char buf[kFormatMmMax];
  return std::string(buf, format_mm_to(value, buf));
}

}  // namespace sv::printing
