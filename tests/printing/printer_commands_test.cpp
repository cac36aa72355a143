// The name check in front of printer_status and cancel_jobs, over a recording spooler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/printer_commands.h"
#include "support/recording_spooler.h"

namespace sv::printing {
namespace {

TEST(PrinterCommands, BlankNamesNeverReachTheSpooler) {
  for (const std::string name : {"", " ", "\t\r\n", "\xE3\x80\x80"}) {  // U+3000 included
    test::RecordingSpooler spooler;
    auto status = run_printer_status(name, spooler);
    auto cancelled = run_cancel_jobs(name, spooler);
    ASSERT_FALSE(status);
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(status.error(), "没有选择打印机");
    EXPECT_EQ(cancelled.error(), "没有选择打印机");
    EXPECT_TRUE(spooler.status_asked.empty());
    EXPECT_TRUE(spooler.cancel_asked.empty());
  }
}

TEST(PrinterCommands, NamesGoUntrimmedAndAnswersPassThrough) {
  test::RecordingSpooler spooler;
  spooler.status.state = PrinterState::paused;
  spooler.status.jobs = {{7, JobState::pending, 1000}};
  spooler.cancelled = 3;
  auto status = run_printer_status(" Zeko ", spooler);
  auto cancelled = run_cancel_jobs(" Zeko ", spooler);
  ASSERT_TRUE(status) << status.error();
  ASSERT_TRUE(cancelled) << cancelled.error();
  EXPECT_EQ(status.value().state, PrinterState::paused);
  ASSERT_EQ(status.value().jobs.size(), 1u);
  EXPECT_EQ(status.value().jobs[0].id, 7u);
  EXPECT_EQ(cancelled.value(), 3u);
  EXPECT_EQ(spooler.status_asked, std::vector<std::string>{" Zeko "});
  EXPECT_EQ(spooler.cancel_asked, std::vector<std::string>{" Zeko "});

  spooler.status_error = "打不开打印机「 Zeko 」：拒绝访问。 (os error 5)";
  EXPECT_EQ(run_printer_status(" Zeko ", spooler).error(), *spooler.status_error);
  EXPECT_EQ(run_cancel_jobs(" Zeko ", spooler).error(), *spooler.status_error);
}

}  // namespace
}  // namespace sv::printing
