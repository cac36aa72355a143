// The parts of a request head that the service uses, and the pure rules that build them
// from the request line and the header lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sv::host {

struct RequestHead {
  std::string method = "GET";
  std::string target = "/";
  std::optional<std::string> origin;  // trimmed; may be present and empty
  std::uint64_t content_length = 0;

  // Target up to its first "?".
  std::string_view path() const;
  bool is_api() const;
  bool head_only() const { return method == "HEAD"; }
};

// Method and target from the request line (white space separated; defaults "GET", "/").
void apply_request_line(RequestHead& head, std::string_view line);

// Cuts every CR and LF off the end of a line.
std::string_view strip_line_end(std::string_view line);

// Applies one header line (line end already stripped, not empty): the last Origin and the
// last Content-Length count; names match ASCII case-insensitively and untrimmed.
void apply_header_line(RequestHead& head, std::string_view line);

// Unsigned 64-bit decimal with an optional single "+", white space trimmed; 0 for anything
// else (empty, a sign alone, other characters, overflow).
std::uint64_t parse_content_length(std::string_view value);

}  // namespace sv::host
