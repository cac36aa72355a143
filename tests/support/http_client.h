// A raw HTTP client for integration tests: bytes in, bytes out, no interpretation.
//
//   std::string raw = sv::test::exchange(port, "GET / HTTP/1.1\r\n\r\n");
//   sv::test::HttpReply reply = sv::test::split_reply(raw);
//   EXPECT_EQ(reply.status_line, "HTTP/1.1 404 Not Found");
//
// POSIX only; every call connects to 127.0.0.1.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::test {

// Connects, sends every byte of `request`, then reads until the server closes the
// connection (or `timeout` passes without a byte) and returns everything it sent. An empty
// string also stands for "could not connect".
std::string exchange(std::uint16_t port, std::string_view request,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));

// One open connection for tests that need control over timing: idle clients, partial
// sends, a client that keeps sending. Closed by the destructor.
class ClientConnection {
 public:
  // Connects to 127.0.0.1:port; check connected().
  explicit ClientConnection(std::uint16_t port);
  ~ClientConnection();
  ClientConnection(ClientConnection&& other) noexcept;
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;
  ClientConnection& operator=(ClientConnection&&) = delete;

  bool connected() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Sends every byte; false when the connection refused some (reset, closed).
  bool send_all(std::string_view bytes);
  // Reads until end of stream, a reset or `timeout` without a byte; returns what arrived.
  std::string read_all(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // True when the server ended the stream (orderly or by reset) within `timeout`; bytes
  // that arrive meanwhile are appended to `received` when given.
  bool wait_closed(std::chrono::milliseconds timeout, std::string* received = nullptr);
  // Half-close: the server sees end of stream; reading stays possible.
  void shutdown_send();
  void close();

 private:
  int fd_ = -1;
};

// A reply cut into its parts. `complete` is false when no empty line ends a header block.
struct HttpReply {
  bool complete = false;
  std::string status_line;                // without its line end
  std::vector<std::string> header_lines;  // each "Name: value", without line ends, in order
  std::string body;                       // everything after the empty line
};

// Splits at the first "\r\n\r\n"; header lines are separated by "\r\n".
HttpReply split_reply(std::string_view raw);

// The value of the first header whose name equals `name` ignoring ASCII case.
std::optional<std::string> header_value(const HttpReply& reply, std::string_view name);

}  // namespace sv::test
