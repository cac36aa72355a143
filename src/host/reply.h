// The reply head writer behind every reply of the service, and the three reply writers of the
// API and of error replies. Each writes its header block and its body as two complete writes
// and returns the first failed write's error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "platform/socket.h"

namespace sv::host {

struct HeaderLine {
  std::string_view name;
  std::string_view value;
};

// A reply's own header lines around the fixed ones. The head reads: the status line,
// `leading`, "Content-Length", `before_nosniff`, "X-Content-Type-Options: nosniff" (left out
// when `nosniff` is false), `before_close`, "Connection: close", `trailing`, the empty line.
struct HeadLines {
  std::span<const HeaderLine> leading = {};
  std::span<const HeaderLine> before_nosniff = {};
  std::span<const HeaderLine> before_close = {};
  std::span<const HeaderLine> trailing = {};
  bool nosniff = true;
};

// The header block of one reply, every line ended by CR LF, the empty line included.
std::string reply_head(std::uint16_t status, std::string_view reason, const HeadLines& lines,
                       std::uint64_t content_length);
// Writes reply_head(...) in one complete write.
Status write_head(platform::Socket& connection, std::uint16_t status, std::string_view reason,
                  const HeadLines& lines, std::uint64_t content_length);

// Reason phrase of a text reply's status line ("Error" for unlisted codes).
std::string_view reason_phrase(std::uint16_t status);

// 200 JSON reply; with allow_origin, the two CORS lines close the header block.
Status write_json_reply(platform::Socket& connection, std::string_view body,
                        std::optional<std::string_view> allow_origin);
// Plain-text reply whose body is the message itself.
Status write_text_reply(platform::Socket& connection, std::uint16_t status,
                        std::string_view message, std::optional<std::string_view> allow_origin);
// 204 preflight reply, no body.
Status write_preflight(platform::Socket& connection, std::string_view allow_origin);

}  // namespace sv::host
