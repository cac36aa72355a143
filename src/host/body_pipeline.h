// Reading a large body on one thread while another consumes it: once a body has proved large
// by the bytes that actually arrived, its remaining chunks go through a few buffers to a
// second thread, so that the socket's copy and the consumer's work (decoding a raster) run on
// two cores instead of one after the other.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "host/buffered_reader.h"
#include "platform/result.h"

namespace sv::host {

// From this many bytes received, the rest of a body is consumed on a second thread. A client
// that announces a large body and sends little never costs one.
inline constexpr std::uint64_t kPipelineFromBytes = 1024 * 1024;

// Reads exactly `count` body bytes from `reader` and hands them to `take` in order, as
// BufferedReader::for_each_chunk does; `take` may run on another thread, but never on two at
// once, and every call has returned when this returns. Holds at most a few chunks.
Status consume_body(BufferedReader& reader, std::uint64_t count,
                    const std::function<void(std::string_view)>& take);

}  // namespace sv::host
