// Target-printer recognition and the order in which printers are offered to the user.
// Shared by every spooler implementation; pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "printing/api_types.h"

namespace sv::printing {

// The full Unicode upper case of UTF-8 text (special casings such as "ß" -> "SS" included).
// Bytes that are not valid UTF-8 are copied unchanged.
std::string to_upper_full(std::string_view utf8);

// True when the upper-cased name contains "ZEKO", "MORVA" or "QX5" anywhere.
bool is_target_printer(std::string_view name);

// Stable sort: target printers first, then the default printer, then by the UTF-8 bytes of
// the name (a prefix before its extensions: "A10" < "A2", "AB" < "ABC").
void sort_printers(std::vector<PrinterInfo>& printers);

}  // namespace sv::printing
