// The Windows build's winspool code under Wine, whose spooler hands RAW jobs to the same
// private cupsd; also printer_status and cancel_jobs as far as Wine implements them. Runs
// $SORVENDALE_WINDOWS_EXE under wine64 with a private prefix.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/cups_service.h"

namespace sv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Debian keeps wine64 out of PATH.
std::string wine64() {
  for (const char* candidate : {"/usr/bin/wine64", "/usr/lib/wine/wine64"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return "wine64";
}

class WineSpooler : public CupsServiceTest {
 protected:
  static void SetUpTestSuite() {
    const char* exe = std::getenv("SORVENDALE_WINDOWS_EXE");
    if (exe == nullptr || *exe == '\0') return;
    base_ = make_temp_dir("sv-wine-spooler");
    fs::create_directory(base_ / "prefix");
    start_rig(
        {
            .command = {wine64(), exe},
            .env = {{"WINEDEBUG", "-all"}, {"WINEPREFIX", (base_ / "prefix").string()}},
            // A fresh prefix is created on the first start.
            .ready_timeout = std::chrono::minutes(4),
        },
        // Wine reads the CUPS queues when the process starts, so they exist first.
        [] {
          std::string error;
          for (const char* q : {"A10", "ZekoQ", "A2"}) {
            error += cups_->add_raw_queue(q, printer_->port());
          }
          return error + cups_->lpadmin({"-d", "A2"});
        });
  }
  static void TearDownTestSuite() {
    CupsServiceTest::TearDownTestSuite();
    std::error_code ignored;
    if (!base_.empty()) fs::remove_all(base_, ignored);
    base_.clear();
  }
  void SetUp() override {
    if (std::getenv("SORVENDALE_WINDOWS_EXE") == nullptr) {
      GTEST_SKIP() << "SORVENDALE_WINDOWS_EXE is not set";
    }
    CupsServiceTest::SetUp();
  }
  static HttpReply post(const std::string& command, const std::string& body = "") {
    return CupsServiceTest::post(command, body, 120s);
  }

  static inline fs::path base_;
};

std::string entry(const std::string& name, bool is_default, bool is_zeko) {
  // Wine registers each CUPS queue with the port "CUPS:{queue}" and the queue as driver.
  return "{\"name\":\"" + name + "\",\"is_default\":" + (is_default ? "true" : "false") +
         ",\"is_zeko\":" + (is_zeko ? "true" : "false") + ",\"port\":\"CUPS:" + name +
         "\",\"driver\":\"" + name + "\"}";
}

TEST_F(WineSpooler, ListsQueuesWithRegistryPortAndDriverInPrinterOrder) {
  const HttpReply list = post("list_printers");
  EXPECT_EQ(list.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(list.body, "[" + entry("ZekoQ", false, true) + "," + entry("A2", true, false) + "," +
                           entry("A10", false, false) + "]");
  EXPECT_EQ(post("health").body, "{\"ok\":true,\"printers\":3}");
  EXPECT_NE(server_->stdout_text().find("打印机：检测到 3 台"), std::string::npos)
      << server_->stdout_text();
}

TEST_F(WineSpooler, PrintSheetArrivesByteIdentical) {
  const std::size_t before = printer_->jobs().size();
  const SheetJob job{.printer = "ZekoQ", .width_dots = 203, .height_dots = 120, .seed = 11};
  const std::string expected = job.expected_stream();
  const HttpReply reply = post("print_sheet", job.body());
  ASSERT_EQ(reply.status_line, "HTTP/1.1 200 OK") << reply.body;
  EXPECT_TRUE(reply.body.starts_with("{\"bytes\":" + std::to_string(expected.size()) + ","))
      << reply.body;
  const auto jobs = printer_->wait_for_jobs(before + 1, 60s);
  ASSERT_EQ(jobs.size(), before + 1) << cups_->log();
  EXPECT_TRUE(jobs.back() == expected)
      << "received " << jobs.back().size() << " bytes, expected " << expected.size();
  // Wine hands the document on under its DOC_INFO_1 name.
  const auto done = cups_->completed_jobs("ZekoQ", 1);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].first, "Sorvendale");
}

TEST_F(WineSpooler, UnknownPrinterFailsAtOpenWithTheSystemText) {
  const HttpReply reply = post("print_sheet", SheetJob{.printer = "NoSuch Printer"}.body());
  EXPECT_EQ(reply.status_line, "HTTP/1.1 500 Internal Server Error");
  // Wine's message for the code, without the line break FormatMessageW ends it with.
  EXPECT_EQ(reply.body, "打不开打印机「NoSuch Printer」：Invalid printer name. (os error 1801)");
}

// What Wine implements: OpenPrinterW, GetPrinterW level 2 and EnumJobsW level 1 answer, but
// Status is always 0 (a CUPS queue that is disabled still reads as ready) and the job list
// holds only a document still being written by this process: Wine hands it to CUPS at
// EndDocPrinter and forgets it. So only the idle reply, the empty cancel and the failures
// can be seen here; the state and job mapping is tested as tables.
TEST_F(WineSpooler, StatusReadsReadyWithNoJobsAndNothingToCancel) {
  const std::string idle = R"({"jobs":[],"message":"","reasons":[],"state":"idle"})";
  EXPECT_EQ(post("printer_status", R"({"printer":"ZekoQ"})").body, idle);
  EXPECT_EQ(post("cancel_jobs", R"({"printer":"ZekoQ"})").body, R"({"cancelled":0})");

  const HttpReply printed = post("print_sheet", SheetJob{.printer = "ZekoQ"}.body());
  ASSERT_EQ(printed.status_line, "HTTP/1.1 200 OK") << printed.body;
  EXPECT_EQ(post("printer_status", R"({"printer":"ZekoQ"})").body, idle);
}

TEST_F(WineSpooler, StatusOfAnUnknownPrinterFailsAtOpen) {
  for (const char* command : {"printer_status", "cancel_jobs"}) {
    const HttpReply reply = post(command, R"({"printer":"NoSuch Printer"})");
    EXPECT_EQ(reply.status_line, "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(reply.body, "打不开打印机「NoSuch Printer」：Invalid printer name. (os error 1801)");
  }
}

}  // namespace
}  // namespace sv::test
