// The members of the print_sheet request: key, value kind and whether it may be left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace sv::printing::detail {

enum class Kind : std::uint8_t { text, real, u32, u8, i32, boolean };

// The members of PrintRequest, in the order of kMembers below.
enum class Field : std::uint8_t {
  printer,
  width_mm,
  height_mm,
  width_dots,
  height_dots,
  gap_mm,
  density,
  speed,
  copies,
  offset_x_dots,
  offset_y_dots,
  tear,
  data_b64,
  dry_run,
};

struct Member {
  Field field;
  std::string_view key;
  Kind kind;
  bool required;
};

// Table order is also the order in which absent keys are reported.
constexpr Member kMembers[] = {
    {Field::printer, "printer", Kind::text, true},
    {Field::width_mm, "width_mm", Kind::real, true},
    {Field::height_mm, "height_mm", Kind::real, true},
    {Field::width_dots, "width_dots", Kind::u32, true},
    {Field::height_dots, "height_dots", Kind::u32, true},
    {Field::gap_mm, "gap_mm", Kind::real, true},
    {Field::density, "density", Kind::u8, true},
    {Field::speed, "speed", Kind::u8, true},
    {Field::copies, "copies", Kind::u32, true},
    {Field::offset_x_dots, "offset_x_dots", Kind::i32, false},
    {Field::offset_y_dots, "offset_y_dots", Kind::i32, false},
    {Field::tear, "tear", Kind::boolean, true},
    {Field::data_b64, "data_b64", Kind::text, true},
    {Field::dry_run, "dry_run", Kind::boolean, false},
};
constexpr std::size_t kMemberCount = std::size(kMembers);

// Each entry sits at its field's index, so the table can be indexed by field.
constexpr bool table_follows_fields() {
  for (std::size_t i = 0; i < kMemberCount; ++i) {
    if (static_cast<std::size_t>(kMembers[i].field) != i) return false;
  }
  return kMemberCount == static_cast<std::size_t>(Field::dry_run) + 1;
}
static_assert(table_follows_fields(), "kMembers must list every Field once, in enum order");

constexpr const Member& member(Field field) {
  return kMembers[static_cast<std::size_t>(field)];
}

std::string_view expected_name(Kind kind) {
  switch (kind) {
    case Kind::text:
      return "a string";
    case Kind::real:
      return "f64";
    case Kind::u32:
      return "u32";
    case Kind::u8:
      return "u8";
    case Kind::i32:
      return "i32";
    case Kind::boolean:
      return "a boolean";
  }
  return "";
}

bool has_fraction_or_exponent(std::string_view number) {
  return number.find_first_of(".eE") != std::string_view::npos;
}

}  // namespace sv::printing::detail
