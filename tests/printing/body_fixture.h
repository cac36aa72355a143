// Print bodies for the decoder and print-job tests: a valid request whose members can be
// replaced or dropped one by one.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sv::printing::testing {

struct Member {
  std::string key;
  std::string value;  // raw JSON
};

inline std::vector<Member> valid_members() {
  return {
      {"printer", R"("Zeko Z1")"},
      {"width_mm", "40"},
      {"height_mm", "30"},
      {"width_dots", "8"},
      {"height_dots", "2"},
      {"gap_mm", "2"},
      {"density", "8"},
      {"speed", "4"},
      {"copies", "1"},
      {"offset_x_dots", "0"},
      {"offset_y_dots", "0"},
      {"tear", "false"},
      {"data_b64", R"("QUI=")"},
      {"dry_run", "true"},
  };
}

inline std::string object_of(const std::vector<Member>& members) {
  std::string out = "{";
  for (const Member& m : members) {
    if (out.size() > 1) out += ',';
    out += '"' + m.key + "\":" + m.value;
  }
  return out + "}";
}

inline std::string body_of(const std::vector<Member>& members) {
  return "{\"request\":" + object_of(members) + "}";
}

// The valid body with `key` set to `value` (appended when absent).
inline std::string body_with(const std::string& key, const std::string& value) {
  auto members = valid_members();
  bool found = false;
  for (Member& m : members) {
    if (m.key == key) {
      m.value = value;
      found = true;
    }
  }
  if (!found) members.push_back({key, value});
  return body_of(members);
}

inline std::string body_without(const std::vector<std::string>& keys) {
  std::vector<Member> members;
  for (Member& m : valid_members()) {
    bool drop = false;
    for (const auto& k : keys) drop = drop || m.key == k;
    if (!drop) members.push_back(std::move(m));
  }
  return body_of(members);
}

}  // namespace sv::printing::testing
