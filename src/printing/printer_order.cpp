#include "printing/printer_order.h"

#include <algorithm>
#include <array>

#include "text/utf8.h"

namespace sv::printing {
std::string fold_for_target_marks(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = 0;
    const std::size_t len = text::decode_utf8(utf8, i, c);
    if (len == 0) {  // not UTF-8: the byte cannot be part of a mark, keep it
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    i += len;
    if (c >= U'a' && c <= U'z') {
      out.push_back(static_cast<char>(c - U'a' + U'A'));
    } else if (c == U'\u1E9A') {
      // The one character outside ASCII whose full upper case holds a letter of the marks.
      out += "A\u02BE";
    } else {
      text::append_utf8(out, c);
    }
  }
  return out;
}

bool is_target_printer(std::string_view name) {
  const std::string upper = fold_for_target_marks(name);
  constexpr std::array<std::string_view, 3> kWords = {"ZEKO", "MORVA", "QX5"};
  return std::any_of(kWords.begin(), kWords.end(),
                     [&](std::string_view word) { return upper.find(word) != std::string::npos; });
}

void sort_printers(std::vector<PrinterInfo>& printers) {
  std::stable_sort(printers.begin(), printers.end(),
                   [](const PrinterInfo& a, const PrinterInfo& b) {
                     if (a.is_zeko != b.is_zeko) return a.is_zeko;
                     if (a.is_default != b.is_default) return a.is_default;
                     // string_view compares as unsigned char, i.e. by UTF-8 byte value.
                     return std::string_view(a.name) < std::string_view(b.name);
                   });
}

}  // namespace sv::printing
