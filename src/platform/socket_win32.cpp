#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "platform/socket.h"
#include "platform/system_error.h"

namespace sv::platform {
namespace {

SOCKET sock_of(Socket::Native handle) {
  return static_cast<SOCKET>(handle);
}
Socket::Native native_of(SOCKET s) {
  return static_cast<Socket::Native>(s);
}

std::string last_wsa_error_text() {
  return system_error_text(WSAGetLastError());
}

// Sockets are inheritable by default; a browser started through cmd must not keep the
// listener or a connection alive.
void make_uninheritable(SOCKET s) {
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

void init_sockets() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
}

void Socket::close() {
  if (handle_ != kInvalid) closesocket(sock_of(handle_));
  handle_ = kInvalid;
}

Status Socket::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    int chunk = bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
    int n = ::send(sock_of(handle_), bytes.data(), chunk, 0);
    if (n == SOCKET_ERROR) {
      if (WSAGetLastError() == WSAEINTR) continue;
      return Error{last_wsa_error_text()};
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::Ok();
}

Result<std::size_t> Socket::read_some(std::span<char> buf) {
  int chunk = buf.size() > INT_MAX ? INT_MAX : static_cast<int>(buf.size());
  for (;;) {
    int n = ::recv(sock_of(handle_), buf.data(), chunk, 0);
    if (n != SOCKET_ERROR) return static_cast<std::size_t>(n);
    if (WSAGetLastError() != WSAEINTR) return Error{last_wsa_error_text()};
  }
}

Result<Socket> Socket::duplicate() const {
  WSAPROTOCOL_INFOW info{};
  if (WSADuplicateSocketW(sock_of(handle_), GetCurrentProcessId(), &info) != 0) {
    return Error{last_wsa_error_text()};
  }
  SOCKET s = WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
                        WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return Error{last_wsa_error_text()};
  return Socket(native_of(s));
}

Status Socket::set_receive_timeout(std::chrono::milliseconds timeout) {
  DWORD ms = static_cast<DWORD>(timeout.count());
  if (setsockopt(sock_of(handle_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms),
                 sizeof ms) != 0) {
    return Error{last_wsa_error_text()};
  }
  return Status::Ok();
}

Status Socket::set_receive_buffer(std::size_t bytes) {
  const int value = static_cast<int>(std::min<std::size_t>(bytes, INT_MAX));
  if (setsockopt(sock_of(handle_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&value),
                 sizeof value) != 0) {
    return Error{last_wsa_error_text()};
  }
  return Status::Ok();
}

void Socket::shutdown_send() {
  ::shutdown(sock_of(handle_), SD_SEND);
}

Result<Listener> Listener::bind_loopback(std::uint16_t port, int backlog, BindFailure* failure) {
  auto fail = [&](int code) -> Result<Listener> {
    std::string text = system_error_text(code);
    if (failure != nullptr) *failure = BindFailure{code == WSAEADDRINUSE, text};
    return Error{text};
  };
  SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                        WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return fail(WSAGetLastError());
  Listener listener;
  listener.socket_ = Socket(native_of(s));
  // Without this Windows lets a second process bind the same port and steal connections.
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    return fail(WSAGetLastError());
  }
  if (::listen(s, backlog) != 0) return fail(WSAGetLastError());
  return listener;
}

std::uint16_t Listener::port() const {
  sockaddr_in addr{};
  int len = sizeof addr;
  if (getsockname(sock_of(socket_.native()), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return 0;
  }
  return ntohs(addr.sin_port);
}

Result<Socket> Listener::accept() {
  for (;;) {
    SOCKET s = ::accept(sock_of(socket_.native()), nullptr, nullptr);
    if (s != INVALID_SOCKET) {
      make_uninheritable(s);
      return Socket(native_of(s));
    }
    if (WSAGetLastError() != WSAEINTR) return Error{last_wsa_error_text()};
  }
}

}  // namespace sv::platform
