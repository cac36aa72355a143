// A fixture that runs one service for a whole suite, from an isolated copy of the binary (so it
// serves its compiled-in files), and checks after every test that nothing a client did reached
// the console or stopped the service.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/server_process.h"

namespace sv::test {

class SharedServiceTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<ServerProcess>(ServerOptions{
        .command = {isolated_binary().string()},
        .args = {"--port", std::to_string(free_port()), "--no-open"},
    });
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_TRUE(server_->ready()) << server_->stderr_text(); }
  void TearDown() override {
    EXPECT_TRUE(server_->running());
    EXPECT_EQ(server_->stderr_text(), "");
  }
  static std::uint16_t port() { return server_->port(); }

  // Suites run one after another, each setting this up and tearing it down again.
  static inline std::unique_ptr<ServerProcess> server_;
};

}  // namespace sv::test
