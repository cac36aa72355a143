// The winspool step order driven through a fake that records every call and can fail or
// shorten any step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/raw_document.h"
#include "printing/submitted_jobs.h"

namespace sv::printing {
namespace {

class FakeSteps final : public RawDocumentSteps {
 public:
  std::vector<std::string> calls;
  std::string received;
  std::string fail_at;                    // the step that fails, by name
  std::vector<std::uint32_t> write_caps;  // bytes accepted per write call, in turn
  int failing_write = -1;                 // index of a write call that fails
  bool zero_write = false;                // a write that succeeds with 0 bytes

  bool open_printer() override { return step("open"); }
  bool start_document() override { return step("start_doc"); }
  bool start_page() override { return step("start_page"); }
  bool write(const char* data, std::uint32_t size, std::uint32_t& written) override {
    const auto index = writes_++;
    calls.push_back("write " + std::to_string(size));
    EXPECT_EQ(written, 0u) << "the written count must be reset before each call";
    if (static_cast<int>(index) == failing_write) return false;
    if (zero_write && index > 0) return true;
    std::uint32_t n = size;
    if (index < write_caps.size()) n = std::min(n, write_caps[index]);
    received.append(data, n);
    written = n;
    return true;
  }
  void end_page() override { calls.push_back("end_page"); }
  void end_document() override { calls.push_back("end_doc"); }
  void close_printer() override { calls.push_back("close"); }
  std::string error(std::string_view label) override {
    calls.push_back("error");
    return std::string(label) + "：boom (os error 5)";
  }

 private:
  bool step(const std::string& name) {
    calls.push_back(name);
    return name != fail_at;
  }
  std::size_t writes_ = 0;
};

using Calls = std::vector<std::string>;

TEST(SpoolerRawDocument, SuccessRunsEveryStepInOrder) {
  FakeSteps steps;
  ASSERT_TRUE(write_raw_document(steps, "P", "SIZE 1 mm\r\n"));
  EXPECT_EQ(steps.calls,
            (Calls{"open", "start_doc", "start_page", "write 11", "end_page", "end_doc", "close"}));
  EXPECT_EQ(steps.received, "SIZE 1 mm\r\n");
}

TEST(SpoolerRawDocument, ShortWritesContinueFromFirstUnsentByte) {
  FakeSteps steps;
  steps.write_caps = {3, 1, 4};
  std::string stream = "0123456789ABCDEF";
  ASSERT_TRUE(write_raw_document(steps, "P", stream));
  EXPECT_EQ(steps.received, stream);
  EXPECT_EQ(steps.calls, (Calls{"open", "start_doc", "start_page", "write 16", "write 13",
                                "write 12", "write 8", "end_page", "end_doc", "close"}));
}

TEST(SpoolerRawDocument, EachFailureTakesItsErrorFirstAndEndsWhatWasBegun) {
  struct Case {
    std::string fail_at;
    std::string message;
    Calls calls;
  };
  const std::vector<Case> cases = {
      {"open", "打不开打印机「 My Printer 」：boom (os error 5)", {"open", "error"}},
      {"start_doc",
       "StartDocPrinter 失败：boom (os error 5)",
       {"open", "start_doc", "error", "close"}},
      {"start_page",
       "StartPagePrinter 失败：boom (os error 5)",
       {"open", "start_doc", "start_page", "error", "end_doc", "close"}},
  };
  for (const auto& c : cases) {
    FakeSteps steps;
    steps.fail_at = c.fail_at;
    const Status status = write_raw_document(steps, " My Printer ", "data");
    ASSERT_FALSE(status.ok()) << c.fail_at;
    EXPECT_EQ(status.message(), c.message);
    EXPECT_EQ(steps.calls, c.calls) << c.fail_at;
  }
}

TEST(SpoolerRawDocument, WriteFailureMidStreamEndsPageAndDocument) {
  FakeSteps steps;
  steps.write_caps = {2};
  steps.failing_write = 1;
  const Status status = write_raw_document(steps, "P", "abcdef");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "WritePrinter 失败：boom (os error 5)");
  EXPECT_EQ(steps.calls, (Calls{"open", "start_doc", "start_page", "write 6", "write 4", "error",
                                "end_page", "end_doc", "close"}));
  EXPECT_EQ(steps.received, "ab");
}

TEST(SpoolerRawDocument, ZeroByteWriteCountsAsFailure) {
  FakeSteps steps;
  steps.write_caps = {1};
  steps.zero_write = true;
  const Status status = write_raw_document(steps, "P", "xyz");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.message(), "WritePrinter 失败：boom (os error 5)");
  EXPECT_EQ(steps.calls, (Calls{"open", "start_doc", "start_page", "write 3", "write 2", "error",
                                "end_page", "end_doc", "close"}));
}

TEST(SpoolerRawDocument, OpenFailureQuotesAtMostTheFirst200Characters) {
  // Whole characters are kept: a cut inside a three-byte character would leave invalid UTF-8.
  std::string long_name;
  for (int i = 0; i < 150; ++i) long_name += "a标";
  const std::string kept = long_name.substr(0, 100 * 4);
  EXPECT_EQ(open_failure_label(long_name), "打不开打印机「" + kept + "」");
  EXPECT_EQ(open_failure_label(std::string(200, 'x')),
            "打不开打印机「" + std::string(200, 'x') + "」");
  EXPECT_EQ(open_failure_label(std::string(16 << 20, 'x')).size(),
            open_failure_label(std::string(200, 'x')).size());
}

TEST(SpoolerSubmittedJobs, KeepsTheLatestThousandIds) {
  SubmittedJobs jobs;
  EXPECT_FALSE(jobs.contains(1));
  jobs.add(0);
  EXPECT_FALSE(jobs.contains(0));
  for (std::uint32_t id = 1; id <= 1000; ++id) jobs.add(id);
  EXPECT_TRUE(jobs.contains(1));
  EXPECT_TRUE(jobs.contains(1000));
  jobs.add(1001);
  jobs.add(1002);
  EXPECT_FALSE(jobs.contains(1));
  EXPECT_FALSE(jobs.contains(2));
  EXPECT_TRUE(jobs.contains(3));
  EXPECT_TRUE(jobs.contains(1002));
  for (std::uint32_t id = 2000; id < 3000; ++id) jobs.add(id);
  EXPECT_FALSE(jobs.contains(1002));
  EXPECT_TRUE(jobs.contains(2000));
  EXPECT_TRUE(jobs.contains(2999));
}

}  // namespace
}  // namespace sv::printing
