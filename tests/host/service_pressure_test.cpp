// The service under pressure: many connections announcing large bodies, more connections
// than it serves at once, and running out of descriptors.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/connection_slots.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace sv::test {
namespace {

using namespace std::chrono_literals;

const std::string kHealthRequest = "GET /api/health HTTP/1.1\r\n\r\n";

bool is_health_reply(const std::string& raw) {
  return split_reply(raw).status_line == "HTTP/1.1 200 OK";
}

// Resident memory of a process in KiB, from /proc.
long resident_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmRSS:" && status >> value) return value;
    status.ignore(256, '\n');
  }
  return -1;
}

ServerOptions service_on_free_port(std::vector<std::string> command = {}) {
  if (command.empty()) command = {isolated_binary().string()};
  return {.command = command, .args = {"--port", std::to_string(free_port()), "--no-open"}};
}

TEST(ServicePressure, AnnouncedBodiesCommitNoMemoryBeforeTheirBytes) {
  ServerProcess server(service_on_free_port());
  ASSERT_TRUE(server.ready()) << server.stderr_text();
  const long before = resident_kib(server.pid());
  // 200 connections announce 16 MiB each, the print call and a static path alike, then
  // trickle one byte per 100 ms.
  std::vector<ClientConnection> clients;
  clients.reserve(200);
  for (int i = 0; i < 200; ++i) {
    clients.emplace_back(server.port());
    ASSERT_TRUE(clients.back().connected()) << i;
    const std::string path = i % 2 == 0 ? "/api/print_sheet" : "/";
    ASSERT_TRUE(
        clients.back().send_all("POST " + path + " HTTP/1.1\r\nContent-Length: 16777216\r\n\r\n"));
  }
  long peak = before;
  for (int tick = 0; tick < 10; ++tick) {
    for (auto& c : clients) ASSERT_TRUE(c.send_all("{"));
    std::this_thread::sleep_for(100ms);
    peak = std::max(peak, resident_kib(server.pid()));
  }
  // 200 × 16 MiB would be 3.2 GiB; threads and what arrived cost a few MiB.
  EXPECT_LT(peak - before, 64 * 1024) << "before " << before << " KiB, peak " << peak << " KiB";
  clients.clear();
  EXPECT_TRUE(is_health_reply(exchange(server.port(), kHealthRequest, 10s)));
}

TEST(ServicePressure, ConnectionsBeyondTheBoundWaitForAFreeSlot) {
  ServerProcess server(service_on_free_port());
  ASSERT_TRUE(server.ready()) << server.stderr_text();
  std::vector<ClientConnection> idle;
  idle.reserve(host::kMaxOpenConnections);
  for (std::size_t i = 0; i < host::kMaxOpenConnections; ++i) {
    idle.emplace_back(server.port());
    ASSERT_TRUE(idle.back().connected()) << i;
  }
  // Connected by the system's backlog, but not served while every slot is taken.
  ClientConnection waiting(server.port());
  ASSERT_TRUE(waiting.connected());
  ASSERT_TRUE(waiting.send_all(kHealthRequest));
  std::string early;
  EXPECT_FALSE(waiting.wait_closed(1500ms, &early));
  EXPECT_EQ(early, "");
  idle.pop_back();  // one ends: its slot goes to the waiting one
  EXPECT_TRUE(is_health_reply(waiting.read_all(10s)));
  EXPECT_EQ(server.stderr_text(), "");
}

TEST(ServicePressure, AcceptFailuresAreReportedAtMostOncePerSecond) {
  // Few descriptors: the listener, CUPS and two per connection soon use them all up.
  ServerProcess server(service_on_free_port(
      {"bash", "-c", "ulimit -n 48 && exec \"$0\" \"$@\"", isolated_binary().string()}));
  ASSERT_TRUE(server.ready()) << server.stderr_text();
  std::vector<ClientConnection> idle;
  for (int i = 0; i < 60; ++i) {
    idle.emplace_back(server.port());
    ASSERT_TRUE(idle.back().connected()) << i;
  }
  std::this_thread::sleep_for(2500ms);
  const std::string errors = server.stderr_text();
  const auto reports = std::count(errors.begin(), errors.end(), '\n');
  EXPECT_GE(reports, 1) << errors;
  EXPECT_LE(reports, 3) << errors;
  EXPECT_TRUE(errors.starts_with("连接失败：")) << errors;
  // Once connections end, the service serves again.
  idle.clear();
  EXPECT_TRUE(is_health_reply(exchange(server.port(), kHealthRequest, 10s)));
  EXPECT_TRUE(server.running());
}

}  // namespace
}  // namespace sv::test
