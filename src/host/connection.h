// One accepted connection: read one request, apply the gates, answer it, close.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/result.h"
#include "platform/socket.h"
#include "printing/spooler.h"

namespace sv::host {

// Largest accepted request body; one byte more is refused with 413 unread.
inline constexpr std::uint64_t kMaxBodyBytes = 16 * 1024 * 1024;
// A client that sends no byte for this long loses its connection without a reply.
inline constexpr std::chrono::milliseconds kIdleTimeout = std::chrono::seconds(30);
// After a reply, how long what the client still sends is read and dropped, so that closing
// with unread input does not reset the connection before the client has read the reply.
inline constexpr std::chrono::milliseconds kDrainTime = std::chrono::seconds(2);

// What every connection shares, fixed at start-up.
struct ServiceContext {
  printing::Spooler& spooler;
  std::optional<std::filesystem::path> frontend_dir;  // none: the compiled-in designer
};

// Serves exactly one request on `connection`. An error (failed read or write, a limit
// exceeded) means the connection was ended without a complete reply; nothing is logged.
// The reading handle is closed before returning; the caller closes `connection`.
Status handle_connection(platform::Socket& connection, const ServiceContext& service);

}  // namespace sv::host
