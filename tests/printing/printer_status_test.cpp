// The mapping of each spooler's flags and keywords onto printer and job states, as tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/printer_status.h"

namespace sv::printing {
namespace {

using Texts = std::vector<std::string>;

struct WindowsPrinterCase {
  std::uint32_t status;
  std::uint32_t attributes;
  std::uint32_t jobs_status;
  PrinterState state;
  Texts reasons;
};

TEST(PrinterStatusMapping, WindowsPrinterBits) {
  const WindowsPrinterCase cases[] = {
      {0, 0, 0, PrinterState::idle, {}},
      {0x400, 0, 0, PrinterState::printing, {}},      // PRINTING
      {0x200, 0, 0, PrinterState::printing, {}},      // BUSY
      {0, 0, 0x10, PrinterState::printing, {}},       // a job PRINTING, status 0
      {0, 0, 0x8, PrinterState::idle, {}},            // a job still SPOOLING
      {0x1, 0, 0, PrinterState::paused, {"已暂停"}},  // PAUSED
      {0x1 | 0x400, 0, 0x10, PrinterState::paused, {"已暂停"}},
      {0x80, 0, 0, PrinterState::offline, {"脱机"}},       // OFFLINE
      {0, 0x400, 0, PrinterState::offline, {"脱机"}},      // WORK_OFFLINE attribute
      {0x800000, 0, 0, PrinterState::offline, {"脱机"}},   // SERVER_UNKNOWN
      {0x2000000, 0, 0, PrinterState::offline, {"脱机"}},  // SERVER_OFFLINE
      {0x1000, 0, 0, PrinterState::offline, {"打印机不可用"}},
      {0x10, 0, 0, PrinterState::error, {"缺纸"}},
      {0x2 | 0x10, 0, 0, PrinterState::error, {"缺纸"}},  // the error bit adds nothing then
      {0x8, 0, 0, PrinterState::error, {"卡纸"}},
      {0x40, 0, 0, PrinterState::error, {"纸张有问题"}},
      {0x40000, 0, 0, PrinterState::error, {"碳带用完"}},
      {0x20000, 0, 0, PrinterState::idle, {"碳带将尽"}},  // low is a warning only
      {0x400000, 0, 0, PrinterState::error, {"机盖打开"}},
      {0x20, 0, 0, PrinterState::error, {"等待手动进纸"}},
      {0x800, 0, 0, PrinterState::error, {"出纸口已满"}},
      {0x100000, 0, 0, PrinterState::error, {"需要人工处理"}},
      {0x200000, 0, 0, PrinterState::error, {"打印机内存不足"}},
      {0x2, 0, 0, PrinterState::error, {"打印机故障"}},
      // Port monitors that report on the job only.
      {0, 0, 0x40 | 0x10, PrinterState::error, {"缺纸"}},
      {0, 0, 0x20, PrinterState::offline, {"脱机"}},
      {0, 0, 0x400, PrinterState::error, {"需要人工处理"}},
      // Offline outranks an error, an error outranks a pause; reasons keep a fixed order.
      {0x80 | 0x10 | 0x1, 0, 0, PrinterState::offline, {"已暂停", "脱机", "缺纸"}},
      {0x1 | 0x400000 | 0x8, 0, 0, PrinterState::error, {"已暂停", "卡纸", "机盖打开"}},
      {0x80, 0x400, 0x20, PrinterState::offline, {"脱机"}},  // one text for three sources
  };
  for (const auto& c : cases) {
    const StateAndReasons got = windows_printer_state(c.status, c.attributes, c.jobs_status);
    EXPECT_EQ(printer_state_name(got.state), printer_state_name(c.state))
        << std::hex << c.status << " " << c.attributes << " " << c.jobs_status;
    EXPECT_EQ(got.reasons, c.reasons) << std::hex << c.status << " " << c.jobs_status;
  }
}

TEST(PrinterStatusMapping, WindowsJobBits) {
  const std::pair<std::uint32_t, JobState> cases[] = {
      {0, JobState::pending},
      {0x8, JobState::pending},         // SPOOLING
      {0x1, JobState::pending},         // PAUSED
      {0x20, JobState::pending},        // OFFLINE: waits for the printer
      {0x40 | 0x2, JobState::pending},  // PAPEROUT with ERROR: waits for paper
      {0x800, JobState::pending},       // RESTART
      {0x10, JobState::printing},
      {0x10 | 0x2, JobState::printing},   // an error while printing still holds the device
      {0x80, JobState::done},             // PRINTED
      {0x1000, JobState::done},           // COMPLETE
      {0x80 | 0x4, JobState::done},       // printed, then removed from the queue
      {0x4, JobState::cancelled},         // DELETING
      {0x100, JobState::cancelled},       // DELETED
      {0x10 | 0x4, JobState::cancelled},  // deleted while printing
      {0x200, JobState::failed},          // BLOCKED_DEVQ
      {0x2, JobState::failed},            // ERROR alone
  };
  for (const auto& [bits, state] : cases) {
    EXPECT_EQ(job_state_name(windows_job_state(bits)), job_state_name(state)) << std::hex << bits;
  }
}

struct CupsPrinterCase {
  int state;
  Texts keywords;
  PrinterState expected;
  Texts reasons;
  std::string message = "";
};

TEST(PrinterStatusMapping, CupsStateAndKeywords) {
  const CupsPrinterCase cases[] = {
      {3, {}, PrinterState::idle, {}},
      {3, {"none"}, PrinterState::idle, {}},
      {4, {}, PrinterState::printing, {}},
      {5, {"paused"}, PrinterState::paused, {"已暂停"}},
      {5, {}, PrinterState::paused, {"已暂停"}},  // stopped without saying why
      {4, {"connecting-to-device"}, PrinterState::printing, {"正在连接打印机"}},
      {4, {"offline-report"}, PrinterState::offline, {"脱机"}},
      {3, {"offline"}, PrinterState::offline, {"脱机"}},
      {3, {"shutdown"}, PrinterState::offline, {"脱机"}},
      {4, {"media-empty-error"}, PrinterState::error, {"缺纸"}},
      {4, {"media-empty"}, PrinterState::error, {"缺纸"}},
      {4, {"media-needed-warning"}, PrinterState::error, {"缺纸"}},
      {4, {"media-jam-error"}, PrinterState::error, {"卡纸"}},
      {5, {"marker-supply-empty-error", "paused"}, PrinterState::error, {"已暂停", "碳带用完"}},
      {4, {"door-open-error"}, PrinterState::error, {"机盖打开"}},
      {4, {"cover-open"}, PrinterState::error, {"机盖打开"}},
      {3, {"marker-supply-low-report"}, PrinterState::idle, {"碳带将尽"}},
      {3, {"media-low-warning"}, PrinterState::idle, {"纸将用完"}},
      {4, {"timed-out"}, PrinterState::printing, {"连接超时"}},
      // A driver's own keyword: an error when it says so, ignored otherwise.
      {4, {"com.example-head-hot-error"}, PrinterState::error, {"打印机故障"}},
      {4, {"com.example-head-warm-warning"}, PrinterState::printing, {}},
      {3, {"cups-waiting-for-job-completed"}, PrinterState::idle, {}},
      // "-error" alone is a keyword, not a suffix.
      {3, {"-error"}, PrinterState::idle, {}},
      {4,
       {"offline-report", "media-empty-error", "paused"},
       PrinterState::offline,
       {"已暂停", "脱机", "缺纸"}},
  };
  for (const auto& c : cases) {
    const StateAndReasons got = cups_printer_state(c.state, c.keywords, c.message);
    const std::string where = std::to_string(c.state) + " " +
                              (c.keywords.empty() ? std::string("-") : c.keywords.front()) + " " +
                              c.message;
    EXPECT_EQ(printer_state_name(got.state), printer_state_name(c.expected)) << where;
    EXPECT_EQ(got.reasons, c.reasons) << where;
  }
}

TEST(PrinterStatusMapping, CupsJobStates) {
  struct Case {
    int state;
    bool unreachable;
    JobState expected;
  };
  const Case cases[] = {
      {3, false, JobState::pending}, {4, false, JobState::pending}, {5, false, JobState::printing},
      {5, true, JobState::pending},  {6, false, JobState::pending}, {7, false, JobState::cancelled},
      {8, false, JobState::failed},  {9, false, JobState::done},    {9, true, JobState::done},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(job_state_name(cups_job_state(c.state, c.unreachable)), job_state_name(c.expected))
        << c.state << " " << c.unreachable;
  }
  struct Unreachable {
    Texts keywords;
    std::string message;
    bool expected;
  };
  const Unreachable unreachable[] = {
      {{}, "", false},
      {{"connecting-to-device"}, "", true},
      {{"offline-report"}, "", true},
      {{"timed-out-error"}, "", true},
      {{"paused", "media-empty-error"}, "", false},
      {{}, "The printer is in use.", true},
      {{}, "Connected to printer.", false},
  };
  for (const auto& u : unreachable) {
    EXPECT_EQ(cups_device_unreachable(u.keywords, u.message), u.expected)
        << (u.keywords.empty() ? "-" : u.keywords.front()) << " " << u.message;
  }
}

}  // namespace
}  // namespace sv::printing
