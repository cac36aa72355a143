// The name check in front of printer_status, cancel_jobs and calibrate_media, and the media
// sizes calibrate_media accepts, over a recording spooler.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
    auto media = run_calibrate_media({name, 40, 30, 2}, spooler);
    ASSERT_FALSE(media);
    EXPECT_EQ(media.error(), "没有选择打印机");
    ASSERT_FALSE(status);
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(status.error(), "没有选择打印机");
    EXPECT_EQ(cancelled.error(), "没有选择打印机");
    EXPECT_TRUE(spooler.status_asked.empty());
    EXPECT_TRUE(spooler.cancel_asked.empty());
    EXPECT_TRUE(spooler.submitted.empty());
  }
}

TEST(PrinterCommands, MediaCalibrationStreamAndItsLimits) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double w, h, gap;
    std::string expected;  // the stream, or the refusal
  } cases[] = {
      {40, 30, 2, "SIZE 40 mm, 30 mm\r\nGAP 2 mm, 0 mm\r\nGAPDETECT\r\n"},
      {101.6, 0.004, 0, "SIZE 101.6 mm, 0 mm\r\nGAP 0 mm, 0 mm\r\nGAPDETECT\r\n"},
      {3000, 3000, 100, "SIZE 3000 mm, 3000 mm\r\nGAP 100 mm, 0 mm\r\nGAPDETECT\r\n"},
      {0, 30, 2, "标签宽度不合法：0 mm，应大于 0 且不超过 3000 mm"},
      {3000.001, 30, 2, "标签宽度不合法：3000.001 mm，应大于 0 且不超过 3000 mm"},
      {40, -0.001, 2, "标签高度不合法：-0.001 mm，应大于 0 且不超过 3000 mm"},
      {40, inf, 2, "标签高度不合法：inf mm，应大于 0 且不超过 3000 mm"},
      {40, 30, -0.01, "标签间隙不合法：-0.01 mm，应在 0 到 100 mm 之间"},
      {40, 30, 100.5, "标签间隙不合法：100.5 mm，应在 0 到 100 mm 之间"},
      {40, 30, std::nan(""), "标签间隙不合法：nan mm，应在 0 到 100 mm 之间"},
  };
  for (const auto& c : cases) {
    test::RecordingSpooler spooler;
    auto sent = run_calibrate_media({"Zeko", c.w, c.h, c.gap}, spooler);
    if (c.expected.starts_with("SIZE")) {
      ASSERT_TRUE(sent) << sent.error();
      EXPECT_EQ(sent.value(), c.expected.size());
      ASSERT_EQ(spooler.submitted.size(), 1u);
      EXPECT_EQ(spooler.submitted[0].printer, "Zeko");
      EXPECT_EQ(spooler.submitted[0].stream, c.expected);
    } else {
      ASSERT_FALSE(sent) << c.expected;
      EXPECT_EQ(sent.error(), c.expected);
      EXPECT_TRUE(spooler.submitted.empty());
    }
  }
  test::RecordingSpooler refusing;
  refusing.fail_at = test::RecordingSpooler::Step::open_printer;
  auto refused = run_calibrate_media({"Zeko", 40, 30, 2}, refusing);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "打不开打印机「Zeko」：拒绝访问。 (os error 5)");
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
