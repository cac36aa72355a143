#include "printing/printer_order.h"

#include <algorithm>
#include <array>

#include "printing/unicode_upper_table.h"
#include "text/utf8.h"

namespace sv::printing {
std::string to_upper_full(std::string_view utf8) {
  const auto table = upper_case_table();
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = 0;
    const std::size_t len = text::decode_utf8(utf8, i, c);
    if (len == 0) {
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    i += len;
    const auto it = std::lower_bound(table.begin(), table.end(), c,
                                     [](const UpperMapping& m, char32_t v) { return m.from < v; });
    if (it == table.end() || it->from != c) {
      text::append_utf8(out, c);
      continue;
    }
    for (char32_t u : it->to) {
      if (u == 0) break;
      text::append_utf8(out, u);
    }
  }
  return out;
}

bool is_target_printer(std::string_view name) {
  const std::string upper = to_upper_full(name);
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
