// Buffered reading of one request from a socket: lines for the head, exact byte counts for
// the body. Body bytes that arrived with the head are served from the buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/result.h"
#include "platform/socket.h"

namespace sv::host {

// Where a reader's bytes come from: the connection in the service, scripted chunks in tests
// and fuzzing.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads at most buf.size() bytes; 0 means the stream ended.
  virtual Result<std::size_t> read_some(std::span<char> buf) = 0;
};

class SocketSource final : public ByteSource {
 public:
  // The socket must outlive the source.
  explicit SocketSource(platform::Socket& socket) : socket_(socket) {}
  Result<std::size_t> read_some(std::span<char> buf) override { return socket_.read_some(buf); }

 private:
  platform::Socket& socket_;
};

class BufferedReader {
 public:
  static constexpr std::size_t kBufferBytes = 8192;

  enum class LineResult {
    kLine,     // `line` holds the line, its line feed included unless the stream ended
    kEnd,      // end of stream before any byte
    kTooLong,  // no line feed within max_bytes
    kFailed,   // the read failed (reset, receive timeout)
  };

  // The source must outlive the reader.
  explicit BufferedReader(ByteSource& source) : source_(source) {}

  // Reads up to and including the next line feed, taking at most `max_bytes` bytes.
  LineResult read_line(std::string& line, std::size_t max_bytes);
  // Fills `out` completely; an early end of stream is a failure.
  Status read_exact(std::span<char> out);
  // Appends exactly `count` bytes to `out`, growing it with the bytes that arrive rather than
  // by the announced count, so a client that announces much and sends little costs little.
  Status append_exact(std::string& out, std::uint64_t count);
  // Reads and drops exactly `count` bytes.
  Status skip_exact(std::uint64_t count);

 private:
  Status fill();

  ByteSource& source_;
  std::array<char, kBufferBytes> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
};

}  // namespace sv::host
