#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/socket.h"
#include "platform/system_error.h"

namespace sv::platform {
namespace {

int fd_of(Socket::Native handle) {
  return static_cast<int>(handle);
}

}  // namespace

void init_sockets() {
  // A peer that has gone away must end the connection with EPIPE, not the process.
  signal(SIGPIPE, SIG_IGN);
}

void Socket::close() {
  if (handle_ != kInvalid) ::close(fd_of(handle_));
  handle_ = kInvalid;
}

Status Socket::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_of(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error{last_system_error_text()};
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::Ok();
}

Result<std::size_t> Socket::read_some(std::span<char> buf) {
  for (;;) {
    ssize_t n = ::recv(fd_of(handle_), buf.data(), buf.size(), 0);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return Error{last_system_error_text()};
  }
}

Result<Socket> Socket::duplicate() const {
  int fd = ::fcntl(fd_of(handle_), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return Error{last_system_error_text()};
  return Socket(fd);
}

Status Socket::set_receive_timeout(std::chrono::milliseconds timeout) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  if (::setsockopt(fd_of(handle_), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
    return Error{last_system_error_text()};
  }
  return Status::Ok();
}

Status Socket::set_receive_buffer(std::size_t bytes) {
  // Linux doubles the value for its bookkeeping and caps it at net.core.rmem_max.
  const int value = static_cast<int>(std::min<std::size_t>(bytes, INT_MAX));
  if (::setsockopt(fd_of(handle_), SOL_SOCKET, SO_RCVBUF, &value, sizeof value) != 0) {
    return Error{last_system_error_text()};
  }
  return Status::Ok();
}

void Socket::shutdown_send() {
  ::shutdown(fd_of(handle_), SHUT_WR);
}

Result<Listener> Listener::bind_loopback(std::uint16_t port, int backlog, BindFailure* failure) {
  auto fail = [&](int code) -> Result<Listener> {
    std::string text = system_error_text(code);
    if (failure != nullptr) *failure = BindFailure{code == EADDRINUSE, text};
    return Error{text};
  };
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(errno);
  Listener listener;
  listener.socket_ = Socket(fd);
  // Lets a restarted service bind while old connections sit in TIME_WAIT; a live listener
  // on the port still makes bind fail with EADDRINUSE.
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return fail(errno);
  if (::listen(fd, backlog) != 0) return fail(errno);
  return listener;
}

std::uint16_t Listener::port() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(fd_of(socket_.native()), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return 0;
  }
  return ntohs(addr.sin_port);
}

Result<Socket> Listener::accept() {
  for (;;) {
    int fd = ::accept4(fd_of(socket_.native()), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return Socket(fd);
    if (errno != EINTR) return Error{last_system_error_text()};
  }
}

}  // namespace sv::platform
