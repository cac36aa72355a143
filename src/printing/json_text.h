// Writing JSON replies: every string of every reply goes through the one escaper, so the same
// text is written with the same bytes whichever command answers.
#pragma once

#include <string>
#include <string_view>

namespace sv::printing {

// Appends `s` as a JSON string: quotation mark and reverse solidus escaped, the control
// characters below U+0020 as \b \f \n \r \t or \u00XX; everything else, non-ASCII text
// included, as raw UTF-8.
void append_json_string(std::string& out, std::string_view s);

inline const char* json_boolean(bool b) {
  return b ? "true" : "false";
}

}  // namespace sv::printing
