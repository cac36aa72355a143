// Target-printer recognition and the order in which printers are offered to the user.
// Shared by every spooler implementation; pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "printing/api_types.h"

namespace sv::printing {

// UTF-8 text upper-cased as far as the target marks can tell: wherever the full Unicode upper
// case (special casings included) would produce a letter or digit of "ZEKO", "MORVA" or
// "QX5", this produces the same; everything else is copied unchanged, malformed bytes too.
// The printer-order tests prove this against the Unicode data for every code point.
std::string fold_for_target_marks(std::string_view utf8);

// True when the full upper case of the name contains "ZEKO", "MORVA" or "QX5" anywhere.
bool is_target_printer(std::string_view name);

// Stable sort: target printers first, then the default printer, then by the UTF-8 bytes of
// the name (a prefix before its extensions: "A10" < "A2", "AB" < "ABC").
void sort_printers(std::vector<PrinterInfo>& printers);

}  // namespace sv::printing
