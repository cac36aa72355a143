#include "host/request.h"

#include <cstdint>
#include <vector>

#include "host/decimal.h"
#include "text/utf8.h"

namespace sv::host {
namespace {

bool equals_ascii_nocase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::string_view RequestHead::path() const {
  std::string_view t = target;
  return t.substr(0, t.find('?'));
}

bool RequestHead::is_api() const {
  return path().starts_with("/api/");
}

void apply_request_line(RequestHead& head, std::string_view line) {
  const std::vector<std::string_view> tokens = text::split_unicode_whitespace(line);
  head.method = tokens.size() >= 1 ? std::string(tokens[0]) : "GET";
  head.target = tokens.size() >= 2 ? std::string(tokens[1]) : "/";
}

std::string_view strip_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

void apply_header_line(RequestHead& head, std::string_view line) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = line.substr(0, colon);
  const std::string_view value = line.substr(colon + 1);
  if (equals_ascii_nocase(name, "origin")) {
    head.origin = std::string(text::trim_unicode_whitespace(value));
  } else if (equals_ascii_nocase(name, "content-length")) {
    head.content_length = parse_content_length(value);
  }
}

std::uint64_t parse_content_length(std::string_view value) {
  return parse_decimal(text::trim_unicode_whitespace(value), UINT64_MAX).value_or(0);
}

}  // namespace sv::host
