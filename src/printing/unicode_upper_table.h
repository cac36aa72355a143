// The full Unicode upper-case mapping as a table sorted by code point. Generated into
// unicode_upper_table.cpp by scripts/gen-unicode-upper.mjs.
#pragma once

#include <span>

namespace sv::printing {

struct UpperMapping {
  char32_t from;
  char32_t to[3];  // the upper-case form; unused places hold 0
};

// Every character whose upper case differs from itself, ascending by `from`.
std::span<const UpperMapping> upper_case_table();

}  // namespace sv::printing
