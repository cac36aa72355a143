// Reading a body: every byte once, in order, nothing read past it, a body cut short ends
// cleanly, and only a client that has really sent a large body gets a larger receive buffer.
#include "host/buffered_reader.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

namespace sv::host {
namespace {

// Serves `bytes` in pieces of varying size, as a socket does, then ends the stream. Notes how
// many bytes it had served when it was told to expect bulk.
class PiecewiseSource final : public ByteSource {
 public:
  explicit PiecewiseSource(std::string bytes) : bytes_(std::move(bytes)) {}
  Result<std::size_t> read_some(std::span<char> buf) override {
    step_ = step_ * 1103515245u + 12345u;
    const std::size_t piece = 1 + (step_ >> 8) % 100'000;
    const std::size_t n = std::min({buf.size(), piece, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, n, buf.data());
    at_ += n;
    return n;
  }
  void expect_bulk() override { bulk_at.push_back(at_); }

  std::vector<std::size_t> bulk_at;

 private:
  std::string bytes_;
  std::size_t at_ = 0;
  std::uint32_t step_ = 1;
};

std::string pattern(std::size_t size) {
  std::string s(size, '\0');
  std::uint32_t x = 7;
  for (char& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

constexpr std::uint64_t kBulk = BufferedReader::kBulkFromBytes;

TEST(BodyReading, EveryByteOnceInOrderAndBulkAnnouncedOnceItArrived) {
  constexpr std::uint64_t kChunk = BufferedReader::kChunkBytes;
  const std::uint64_t counts[] = {
      0, 1, kChunk + 1, kBulk - 100, kBulk, kBulk + 7 * kChunk + 17, 3 * kBulk};
  for (const std::uint64_t count : counts) {
    const std::string body = pattern(count);
    const std::string head = "HEAD\n";
    PiecewiseSource source(head + body + "NEXT\n");
    BufferedReader reader(source);
    std::string line;
    ASSERT_EQ(reader.read_line(line, 100), BufferedReader::LineResult::kLine);
    std::string got;
    std::size_t largest = 0;
    const Status read = reader.for_each_chunk(count, [&](std::string_view c) {
      largest = std::max(largest, c.size());
      got.append(c);
    });
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_TRUE(got == body) << count;
    EXPECT_LE(largest, kChunk);
    ASSERT_EQ(reader.read_line(line, 100), BufferedReader::LineResult::kLine) << count;
    EXPECT_EQ(line, "NEXT\n") << count;

    // Bytes served, head and what followed the body included, decide; a read may overshoot.
    const std::size_t served = head.size() + body.size() + 5;
    if (served < kBulk) {
      EXPECT_TRUE(source.bulk_at.empty()) << count;
    } else {
      ASSERT_EQ(source.bulk_at.size(), 1u) << count;
      EXPECT_GE(source.bulk_at[0], kBulk) << count;
      EXPECT_LT(source.bulk_at[0], kBulk + kChunk) << count;
    }
  }
}

TEST(BodyReading, BodyCutShortFailsAfterHandingOverOnlyWhatArrived) {
  for (const std::uint64_t sent : {std::uint64_t{0}, kBulk / 2, kBulk + 100'000}) {
    const std::string body = pattern(sent);
    PiecewiseSource source(body);
    BufferedReader reader(source);
    std::string got;
    const Status read = reader.for_each_chunk(2 * kBulk, [&](std::string_view c) { got += c; });
    EXPECT_FALSE(read.ok()) << sent;
    EXPECT_TRUE(got == body) << sent;

    std::string exact(2 * kBulk, '\0');
    PiecewiseSource again(body);
    BufferedReader exact_reader(again);
    EXPECT_FALSE(exact_reader.read_exact(exact).ok()) << sent;
  }
}

// Over a real loopback connection, the hint reaches the system. (Before it, the system tunes
// the buffer on its own, so only the granted size after it is exact.)
int receive_buffer(const platform::Socket& s) {
  int value = 0;
  socklen_t size = sizeof value;
  getsockopt(static_cast<int>(s.native()), SOL_SOCKET, SO_RCVBUF, &value, &size);
  return value;
}

TEST(BodyReading, OnlyABodyThatArrivedWidensTheConnectionsReceiveBuffer) {
  platform::init_sockets();
  auto listener = platform::Listener::bind_loopback(0, 4, nullptr);
  ASSERT_TRUE(listener) << listener.error();
  const std::uint16_t port = listener.value().port();
  const std::string body = pattern(kBulk + 4096);

  // Joined on every way out; its sends give up after a while should nobody read them.
  std::jthread client([port, &body] {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{.tv_sec = 20, .tv_usec = 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      std::size_t sent = 0;
      while (sent < body.size()) {
        const ssize_t n = ::send(fd, body.data() + sent, body.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
    }
    ::close(fd);
  });
  auto accepted = listener.value().accept();
  ASSERT_TRUE(accepted) << accepted.error();
  platform::Socket& connection = accepted.value();
  SocketSource source(connection);
  BufferedReader reader(source);
  std::string first(kBulk - 1, '\0');
  ASSERT_TRUE(reader.read_exact(first).ok());
  std::string rest;
  ASSERT_TRUE(
      reader.for_each_chunk(body.size() - first.size(), [&](std::string_view c) { rest += c; })
          .ok());
  EXPECT_TRUE(first + rest == body);
  // Linux caps the request at net.core.rmem_max and reports twice what it grants.
  long rmem_max = 0;
  std::ifstream("/proc/sys/net/core/rmem_max") >> rmem_max;
  ASSERT_GT(rmem_max, 0);
  const long asked = static_cast<long>(SocketSource::kBulkReceiveBuffer);
  EXPECT_EQ(receive_buffer(connection), 2 * std::min(asked, rmem_max));
}

}  // namespace
}  // namespace sv::host
