// The service's protective limits, the reply that survives a client still sending, and many
// clients at once.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/http_client.h"
#include "support/server_process.h"
#include "support/shared_service.h"

namespace sv::test {
namespace {

using namespace std::chrono_literals;

const std::string kHealthRequest = "GET /api/health HTTP/1.1\r\n\r\n";
const std::string kTooLarge =
    "HTTP/1.1 413 Payload Too Large\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Content-Length: 22\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Connection: close\r\n"
    "\r\n"
    "request body too large";

bool is_health_reply(const std::string& raw) {
  const HttpReply reply = split_reply(raw);
  return reply.status_line == "HTTP/1.1 200 OK" && reply.body.starts_with("{\"ok\":true,") &&
         header_value(reply, "Content-Length") == std::to_string(reply.body.size());
}

class ServiceLimits : public SharedServiceTest {
 protected:
};

// A GET of /api/health whose head (request line, headers, final empty line) is exactly
// `head_bytes` long, padded by one X-Pad header.
std::string health_head_of_size(std::size_t head_bytes) {
  const std::string start = "GET /api/health HTTP/1.1\r\nX-Pad: ";
  const std::string end = "\r\n\r\n";
  return start + std::string(head_bytes - start.size() - end.size(), 'p') + end;
}

std::string health_with_headers(std::size_t count) {
  std::string request = "GET /api/health HTTP/1.1\r\n";
  for (std::size_t i = 0; i < count; ++i) request += "X-H" + std::to_string(i) + ": v\r\n";
  return request + "\r\n";
}

TEST_F(ServiceLimits, HeadUpToSixtyFourKibibytesIsServed) {
  EXPECT_TRUE(is_health_reply(exchange(port(), health_head_of_size(65536), 10s)));
  // A single line of the whole budget, as request line.
  const std::string long_target =
      "GET /api/health?" + std::string(65536 - 29, 'q') + " HTTP/1.1\r\n\r\n";
  ASSERT_EQ(long_target.size(), 65536u);
  EXPECT_TRUE(is_health_reply(exchange(port(), long_target, 10s)));
}

TEST_F(ServiceLimits, LongerHeadEndsTheConnectionWithoutReply) {
  EXPECT_EQ(exchange(port(), health_head_of_size(65537), 10s), "");
  // A never-ending header line is cut off, not collected.
  ClientConnection c(port());
  ASSERT_TRUE(c.send_all("GET /api/health HTTP/1.1\r\nX-Pad: "));
  const std::string chunk(4096, 'p');
  bool refused = false;
  for (int i = 0; i < 64 * 1024 && !refused; ++i) refused = !c.send_all(chunk);
  EXPECT_TRUE(refused) << "the service kept reading a 256 MiB header line";
}

TEST_F(ServiceLimits, HundredHeaderLinesAreServedOneMoreIsNot) {
  EXPECT_TRUE(is_health_reply(exchange(port(), health_with_headers(100), 10s)));
  EXPECT_EQ(exchange(port(), health_with_headers(101), 10s), "");
}

TEST_F(ServiceLimits, ReplyBeforeTheBodySurvivesAClientStillSending) {
  // The client announces too large a body and keeps sending it, reading only a little
  // later. If the service closed with unread input, the system would reset the connection
  // and the client would lose the 413.
  for (int round = 0; round < 2; ++round) {
    ClientConnection c(port());
    ASSERT_TRUE(c.send_all("POST /api/health HTTP/1.1\r\nContent-Length: 16777217\r\n\r\n"));
    const auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration refused_after{};
    std::thread sender([&] {
      const std::string chunk(64 * 1024, 'b');
      while (std::chrono::steady_clock::now() - started < 10s && c.send_all(chunk)) {
      }
      refused_after = std::chrono::steady_clock::now() - started;
    });
    std::this_thread::sleep_for(300ms);
    std::string received;
    EXPECT_TRUE(c.wait_closed(10s, &received));
    sender.join();
    EXPECT_EQ(received, kTooLarge) << "round " << round;
    // The service drops what it is sent for a bounded time, then closes: sending fails.
    EXPECT_LT(refused_after, 6s);
  }
}

TEST_F(ServiceLimits, ClientSendingPastItsBodyStillGetsTheReply) {
  ClientConnection c(port());
  std::string request = "POST /api/health HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}";
  request += std::string(1024 * 1024, 'z');  // never read as part of the request
  std::thread sender([&] { c.send_all(request); });
  std::string received;
  EXPECT_TRUE(c.wait_closed(10s, &received));
  sender.join();
  EXPECT_TRUE(is_health_reply(received)) << received.substr(0, 200);
}

TEST_F(ServiceLimits, SilentClientsAreDroppedAfterThirtySeconds) {
  // Nothing at all; a head that never ends; a body that never comes.
  ClientConnection silent(port());
  ClientConnection half_head(port());
  ClientConnection half_body(port());
  ASSERT_TRUE(half_head.send_all("GET /api/health HTTP/1.1\r\nHost: x"));
  ASSERT_TRUE(half_body.send_all("POST /api/health HTTP/1.1\r\nContent-Length: 10\r\n\r\n12345"));
  const auto started = std::chrono::steady_clock::now();
  for (ClientConnection* c : {&silent, &half_head, &half_body}) {
    std::string received;
    EXPECT_TRUE(c->wait_closed(45s, &received));
    EXPECT_EQ(received, "");
  }
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_GE(waited, 29s);
  EXPECT_LT(waited, 40s);
}

TEST_F(ServiceLimits, TwoHundredSimultaneousClientsAllGetTheirReply) {
  std::vector<ClientConnection> clients;
  clients.reserve(200);
  for (int i = 0; i < 200; ++i) {
    clients.emplace_back(port());
    ASSERT_TRUE(clients.back().connected()) << i;
    // Half a request each, so all 200 are open and unfinished at the same moment.
    ASSERT_TRUE(clients.back().send_all("GET /api/hea"));
  }
  for (auto& c : clients) ASSERT_TRUE(c.send_all("lth HTTP/1.1\r\n\r\n"));
  const std::string first = clients.front().read_all(20s);
  EXPECT_TRUE(is_health_reply(first));
  int matching = 1;
  for (std::size_t i = 1; i < clients.size(); ++i) matching += clients[i].read_all(20s) == first;
  EXPECT_EQ(matching, 200);
}

TEST_F(ServiceLimits, IdleConnectionsDoNotHoldUpOthers) {
  std::vector<ClientConnection> idle;
  for (int i = 0; i < 50; ++i) {
    idle.emplace_back(port());
    ASSERT_TRUE(idle.back().connected());
  }
  idle[7].send_all("GET /api/health HTTP/1.1\r\n");  // one with a started head
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(is_health_reply(exchange(port(), kHealthRequest, 5s)));
  }
}

}  // namespace
}  // namespace sv::test
