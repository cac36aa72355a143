// Buffered reading of one request from a socket: lines for the head, exact byte counts for
// the body. Body bytes that arrived with the head are served from the buffer.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

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
  // The stream has proved to carry a large body: it may take in more at once.
  virtual void expect_bulk() {}
};

class SocketSource final : public ByteSource {
 public:
  // The socket must outlive the source.
  explicit SocketSource(platform::Socket& socket) : socket_(socket) {}
  Result<std::size_t> read_some(std::span<char> buf) override { return socket_.read_some(buf); }
  // The default receive buffer of a fresh connection holds about 100 KiB, so the peer stalls
  // whenever we pause to decode; a few MiB let it run ahead. Only a hint: refused is fine.
  void expect_bulk() override { (void)socket_.set_receive_buffer(kBulkReceiveBuffer); }

  static constexpr std::size_t kBulkReceiveBuffer = 2 * 1024 * 1024;

 private:
  platform::Socket& socket_;
};

class BufferedReader {
 public:
  static constexpr std::size_t kBufferBytes = 8192;
  // After this many bytes from the source, it is told to expect bulk (ByteSource::expect_bulk).
  // Only a client that has actually sent this much gets a larger receive buffer.
  static constexpr std::uint64_t kBulkFromBytes = 1024 * 1024;

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
  // Hands exactly `count` bytes to `take` in the order they arrive, in chunks of at most
  // kChunkBytes, holding no more than one chunk. An early end of stream is a failure.
  template <class Take>
  Status for_each_chunk(std::uint64_t count, Take&& take);
  // Reads and drops exactly `count` bytes.
  Status skip_exact(std::uint64_t count) {
    return for_each_chunk(count, [](std::string_view) {});
  }

  static constexpr std::size_t kChunkBytes = 64 * 1024;

 private:
  Status fill();
  // Every read from the source goes through here, to count the bytes.
  Result<std::size_t> read_source(std::span<char> buf);

  ByteSource& source_;
  std::array<char, kBufferBytes> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  std::uint64_t received_ = 0;
};

template <class Take>
Status BufferedReader::for_each_chunk(std::uint64_t count, Take&& take) {
  const std::size_t buffered =
      static_cast<std::size_t>(std::min<std::uint64_t>(count, end_ - begin_));
  if (buffered > 0) {
    take(std::string_view(buffer_.data() + begin_, buffered));
    begin_ += buffered;
    count -= buffered;
  }
  if (count == 0) return Status::Ok();
  // Large bodies in large reads, straight from the source, past the line buffer.
  std::unique_ptr<char[]> chunk = std::make_unique_for_overwrite<char[]>(kChunkBytes);
  while (count > 0) {
    if (eof_) return Error{"end of stream inside the body"};
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, kChunkBytes));
    auto n = read_source(std::span(chunk.get(), want));
    if (!n) return n.status();
    if (n.value() == 0) {
      eof_ = true;
      continue;
    }
    take(std::string_view(chunk.get(), n.value()));
    count -= n.value();
  }
  return Status::Ok();
}

}  // namespace sv::host
