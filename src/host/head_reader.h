// Reading the request line and the header lines of one request from a buffered reader.
#pragma once

#include <cstddef>

#include "host/buffered_reader.h"
#include "host/request.h"

namespace sv::host {

// The request line and the header lines together, line ends included.
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;
// Header lines after the request line (the empty line that ends them not counted).
inline constexpr std::size_t kMaxHeaderLines = 100;

// Reads the head into `head`, leaving the reader at the first body byte. False means the
// connection is to be ended silently: no request line, a line that is not UTF-8, a failed
// read, or a limit exceeded. An end of stream inside the header lines keeps what was read.
bool read_request_head(BufferedReader& reader, RequestHead& head);

}  // namespace sv::host
