// Buffered reading of one request from a socket: lines for the head, exact byte counts for
// the body. Body bytes that arrived with the head are served from the buffer.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "platform/result.h"
#include "platform/socket.h"

namespace sv::host {

class BufferedReader {
 public:
  static constexpr std::size_t kBufferBytes = 8192;

  enum class LineResult {
    kLine,     // `line` holds the line, its line feed included unless the stream ended
    kEnd,      // end of stream before any byte
    kTooLong,  // no line feed within max_bytes
    kFailed,   // the read failed (reset, receive timeout)
  };

  // The socket must outlive the reader.
  explicit BufferedReader(platform::Socket& socket) : socket_(socket) {}

  // Reads up to and including the next line feed, taking at most `max_bytes` bytes.
  LineResult read_line(std::string& line, std::size_t max_bytes);
  // Fills `out` completely; an early end of stream is a failure.
  Status read_exact(std::span<char> out);

 private:
  Status fill();

  platform::Socket& socket_;
  std::array<char, kBufferBytes> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
};

}  // namespace sv::host
