// What the spooler suites share: a private cupsd, a recording printer and one service started
// against them, kept for a whole suite.
//
//   class MySuite : public sv::test::CupsServiceTest {
//    protected:
//     static void SetUpTestSuite() { start_rig({}); }
//   };
//   TEST_F(MySuite, Prints) { post("print_sheet", SheetJob{...}.body()); ... }
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>

#include "support/cups_fixture.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace sv::test {

class CupsServiceTest : public testing::Test {
 protected:
  // Starts cupsd and the printer, runs `prepare` (queues a service must find at its start;
  // returns "" or what failed), then the service from `options`, which gains a free port,
  // --no-open and cupsd's client environment.
  static void start_rig(ServerOptions options,
                        const std::function<std::string()>& prepare = nullptr) {
    cups_ = new CupsServer();
    printer_ = new RecordingPrinter();
    if (!cups_->running()) return;
    if (prepare) setup_error_ = prepare();
    auto env = cups_->client_env();
    env.insert(env.end(), options.env.begin(), options.env.end());
    options.env = std::move(env);
    options.args.insert(options.args.begin(), {"--port", std::to_string(free_port()), "--no-open"});
    server_ = new ServerProcess(std::move(options));
  }
  static void TearDownTestSuite() {
    delete server_;
    delete printer_;
    delete cups_;
    server_ = nullptr;
    printer_ = nullptr;
    cups_ = nullptr;
    setup_error_.clear();
  }
  void SetUp() override {
    ASSERT_NE(cups_, nullptr) << "the suite started no rig";
    ASSERT_TRUE(cups_->running()) << "cupsd did not start: " << cups_->log();
    ASSERT_NE(printer_->port(), 0);
    ASSERT_EQ(setup_error_, "");
    ASSERT_TRUE(server_->ready()) << server_->stdout_text() << server_->stderr_text();
  }
  // Empties the scheduler: removing a queue also removes its jobs.
  static void remove_queues() {
    for (const auto& q : cups_->queues()) ASSERT_EQ(cups_->lpadmin({"-x", q}), "");
  }

  static HttpReply post(const std::string& command, const std::string& body = "",
                        std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return split_reply(exchange(server_->port(), api_post(command, body), timeout));
  }

  // Suites run one after another, each starting its rig and ending it again.
  static inline CupsServer* cups_ = nullptr;
  static inline RecordingPrinter* printer_ = nullptr;
  static inline ServerProcess* server_ = nullptr;
  static inline std::string setup_error_;
};

}  // namespace sv::test
