// TCP sockets on the IPv4 loopback address: the listener and one accepted connection.
// Implemented once per OS (socket_posix.cpp, socket_win32.cpp); callers hold no #ifdef.
//
// Thread safety: a Socket or Listener is thread-compatible, not thread-safe; one thread
// uses it at a time. Distinct objects may be used from distinct threads freely.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "platform/result.h"

namespace sv::platform {

// Must be called once before any other function here (starts Winsock on Windows).
void init_sockets();

// An owned socket handle; closed by the destructor without a shutdown call.
class Socket {
 public:
  using Native = std::intptr_t;
  static constexpr Native kInvalid = -1;

  Socket() = default;
  explicit Socket(Native handle) : handle_(handle) {}
  // The same on every system; only close() differs.
  Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, kInvalid);
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { close(); }

  bool valid() const { return handle_ != kInvalid; }
  Native native() const { return handle_; }

  // Sends every byte: partial writes are continued, interrupted writes retried.
  // On failure the error holds the system error text.
  Status write_all(std::string_view bytes);
  // Reads at most buf.size() bytes; 0 means the peer ended the stream.
  // A receive timeout that expires is reported as a failure.
  Result<std::size_t> read_some(std::span<char> buf);
  // A second handle on the same connection (dup / WSADuplicateSocket).
  Result<Socket> duplicate() const;
  // Applies to reads on this handle; zero means no timeout.
  Status set_receive_timeout(std::chrono::milliseconds timeout);
  // Asks the system to hold up to `bytes` received bytes that we have not read yet, so that a
  // fast peer keeps sending while we work on what came before. The system may grant less.
  Status set_receive_buffer(std::size_t bytes);
  // Ends our sending side (FIN) while reads stay possible.
  void shutdown_send();
  void close();

 private:
  Native handle_ = kInvalid;
};

struct BindFailure {
  bool address_in_use = false;
  std::string system_error;  // system error text, " (os error N)" included
};

class Listener {
 public:
  // Binds 127.0.0.1:port (port 0 picks a free one) with the given backlog. On Windows the
  // socket is exclusive (SO_EXCLUSIVEADDRUSE) so a second instance sees the port taken.
  static Result<Listener> bind_loopback(std::uint16_t port, int backlog, BindFailure* failure);

  Listener() = default;
  Listener(Listener&&) noexcept = default;
  Listener& operator=(Listener&&) noexcept = default;

  std::uint16_t port() const;
  // Blocks for the next connection; the error holds the system error text.
  Result<Socket> accept();

 private:
  Socket socket_;
};

}  // namespace sv::platform
