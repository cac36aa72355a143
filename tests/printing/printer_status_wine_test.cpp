// printer_status and cancel_jobs of the Windows build under Wine, whose spooler forwards to a
// private cupsd. Runs $SORVENDALE_WINDOWS_EXE under wine64 with a private prefix.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/cups_fixture.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace sv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string wine64() {
  for (const char* candidate : {"/usr/bin/wine64", "/usr/lib/wine/wine64"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return "wine64";
}

class WinePrinterStatus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* exe = std::getenv("SORVENDALE_WINDOWS_EXE");
    if (exe == nullptr || *exe == '\0') return;
    cups_ = new CupsServer();
    printer_ = new RecordingPrinter();
    if (!cups_->running()) return;
    // Wine reads the CUPS queues when the process starts.
    setup_error_ = cups_->add_raw_queue("ZekoQ", printer_->port());
    base_ = make_temp_dir("sv-wine-status");
    fs::create_directory(base_ / "prefix");
    auto env = cups_->client_env();
    env.emplace_back("WINEDEBUG", "-all");
    env.emplace_back("WINEPREFIX", (base_ / "prefix").string());
    server_ = new ServerProcess({
        .command = {wine64(), exe},
        .args = {"--port", std::to_string(free_port()), "--no-open"},
        .env = env,
        .ready_timeout = std::chrono::minutes(4),
    });
  }
  static void TearDownTestSuite() {
    delete server_;
    delete printer_;
    delete cups_;
    server_ = nullptr;
    printer_ = nullptr;
    cups_ = nullptr;
    std::error_code ignored;
    if (!base_.empty()) fs::remove_all(base_, ignored);
  }
  void SetUp() override {
    if (std::getenv("SORVENDALE_WINDOWS_EXE") == nullptr) {
      GTEST_SKIP() << "SORVENDALE_WINDOWS_EXE is not set";
    }
    ASSERT_TRUE(cups_->running()) << "cupsd did not start: " << cups_->log();
    ASSERT_EQ(setup_error_, "");
    ASSERT_TRUE(server_->ready()) << server_->stdout_text() << server_->stderr_text();
  }

  static HttpReply post(const std::string& command, const std::string& body) {
    return split_reply(exchange(server_->port(), api_post(command, body), 120s));
  }

  static inline CupsServer* cups_ = nullptr;
  static inline RecordingPrinter* printer_ = nullptr;
  static inline ServerProcess* server_ = nullptr;
  static inline fs::path base_;
  static inline std::string setup_error_;
};

// What Wine implements: OpenPrinterW, GetPrinterW level 2 and EnumJobsW level 1 answer, but
// Status is always 0 (a CUPS queue that is disabled still reads as ready) and the job list
// holds only a document still being written by this process: Wine hands it to CUPS at
// EndDocPrinter and forgets it. So only the idle reply, the empty cancel and the failures
// can be seen here; the state and job mapping is tested as tables.
TEST_F(WinePrinterStatus, ReadyQueueEmptyJobListAndNothingToCancel) {
  const std::string idle = R"({"jobs":[],"message":"","reasons":[],"state":"idle"})";
  EXPECT_EQ(post("printer_status", R"({"printer":"ZekoQ"})").body, idle);
  EXPECT_EQ(post("cancel_jobs", R"({"printer":"ZekoQ"})").body, R"({"cancelled":0})");

  const HttpReply printed = post("print_sheet", SheetJob{.printer = "ZekoQ"}.body());
  ASSERT_EQ(printed.status_line, "HTTP/1.1 200 OK") << printed.body;
  EXPECT_EQ(post("printer_status", R"({"printer":"ZekoQ"})").body, idle);
}

TEST_F(WinePrinterStatus, UnknownPrinterFailsAtOpenWithTheSystemText) {
  for (const char* command : {"printer_status", "cancel_jobs"}) {
    const HttpReply reply = post(command, R"({"printer":"NoSuch Printer"})");
    EXPECT_EQ(reply.status_line, "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(reply.body, "打不开打印机「NoSuch Printer」：Invalid printer name. (os error 1801)");
  }
}

}  // namespace
}  // namespace sv::test
