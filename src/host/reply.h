// The three reply writers of the API and of error replies. Each writes its header block and
// its body as two complete writes and returns the first failed write's error.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/socket.h"

namespace sv::host {

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
