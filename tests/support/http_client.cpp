#include "support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace sv::test {
namespace {

int connect_loopback(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads until end of stream, an error or `timeout` of silence. Returns true on end of
// stream or reset, false on the timeout.
bool read_until_closed(int fd, std::chrono::milliseconds timeout, std::string& out) {
  char buf[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(timeout.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

}  // namespace

std::string exchange(std::uint16_t port, std::string_view request,
                     std::chrono::milliseconds timeout) {
  ClientConnection c(port);
  if (!c.connected()) return {};
  c.send_all(request);
  return c.read_all(timeout);
}

ClientConnection::ClientConnection(std::uint16_t port) : fd_(connect_loopback(port)) {
  // A server that closes early must not kill the test process through SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
}

ClientConnection::~ClientConnection() {
  close();
}

ClientConnection::ClientConnection(ClientConnection&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

bool ClientConnection::send_all(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string ClientConnection::read_all(std::chrono::milliseconds timeout) {
  std::string out;
  read_until_closed(fd_, timeout, out);
  return out;
}

bool ClientConnection::wait_closed(std::chrono::milliseconds timeout, std::string* received) {
  std::string sink;
  return read_until_closed(fd_, timeout, received != nullptr ? *received : sink);
}

void ClientConnection::shutdown_send() {
  shutdown(fd_, SHUT_WR);
}

void ClientConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

HttpReply split_reply(std::string_view raw) {
  HttpReply reply;
  const auto end = raw.find("\r\n\r\n");
  std::string_view head = raw.substr(0, end);
  if (end != std::string_view::npos) {
    reply.complete = true;
    reply.body = std::string(raw.substr(end + 4));
  }
  bool first = true;
  while (!head.empty()) {
    const auto eol = head.find("\r\n");
    std::string line(head.substr(0, eol));
    head = eol == std::string_view::npos ? std::string_view() : head.substr(eol + 2);
    if (first) {
      reply.status_line = std::move(line);
      first = false;
    } else {
      reply.header_lines.push_back(std::move(line));
    }
  }
  return reply;
}

std::optional<std::string> header_value(const HttpReply& reply, std::string_view name) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (const auto& line : reply.header_lines) {
    const auto colon = line.find(':');
    if (colon != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < colon; ++i) same = same && lower(line[i]) == lower(name[i]);
    if (!same) continue;
    std::size_t start = colon + 1;
    while (start < line.size() && line[start] == ' ') ++start;
    return line.substr(start);
  }
  return std::nullopt;
}

}  // namespace sv::test
