// printer_status, cancel_jobs and calibrate_media through the Linux service binary against a
// private cupsd,
// with raw queues on a recording printer that can read slowly, and on a port where nothing
// listens.
#include <gtest/gtest.h>

#include <boost/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/cups_service.h"

namespace sv::test {
namespace {

using namespace std::chrono_literals;

struct Job {
  std::uint32_t id = 0;
  std::string state;
  std::int64_t submitted_ms = 0;
};

// The reply's printer state and its jobs, read with a real JSON parser.
std::string state_of(const std::string& body) {
  boost::system::error_code ec;
  const boost::json::value v = boost::json::parse(body, ec);
  if (ec || !v.is_object()) return "?";
  const auto* state = v.as_object().if_contains("state");
  return state != nullptr && state->is_string() ? std::string(state->as_string()) : "?";
}

std::vector<Job> jobs_of(const std::string& body) {
  std::vector<Job> out;
  boost::system::error_code ec;
  const boost::json::value v = boost::json::parse(body, ec);
  if (ec || !v.is_object()) return out;
  const auto* jobs = v.as_object().if_contains("jobs");
  if (jobs == nullptr || !jobs->is_array()) return out;
  for (const auto& j : jobs->as_array()) {
    const auto& o = j.as_object();
    out.push_back({static_cast<std::uint32_t>(o.at("id").to_number<std::uint64_t>()),
                   std::string(o.at("state").as_string()),
                   o.at("submitted_ms").to_number<std::int64_t>()});
  }
  return out;
}

std::vector<std::string> job_states(const std::string& body) {
  std::vector<std::string> out;
  for (const Job& j : jobs_of(body)) out.push_back(j.state);
  return out;
}

std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string body_for(const std::string& printer) {
  return "{\"printer\":" + json_string(printer) + "}";
}

std::string media_body(const std::string& printer, const std::string& sizes) {
  return "{\"printer\":" + json_string(printer) + ',' + sizes + '}';
}

class PrinterStatusCups : public CupsServiceTest {
 protected:
  static void SetUpTestSuite() { start_rig({}); }
  void SetUp() override {
    CupsServiceTest::SetUp();
    if (HasFatalFailure()) return;
    printer_->set_read_rate(0);
    remove_queues();
  }
  void TearDown() override {
    if (printer_ != nullptr) printer_->set_read_rate(0);
  }

  static std::string status(const std::string& printer) {
    const HttpReply r = post("printer_status", body_for(printer));
    EXPECT_EQ(r.status_line, "HTTP/1.1 200 OK") << r.body;
    return r.body;
  }
  // Asks until `done` holds for the reply body or `timeout` passes; returns the last body.
  static std::string status_until(const std::string& printer,
                                  const std::function<bool(const std::string&)>& done,
                                  std::chrono::milliseconds timeout = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string body = status(printer);
    while (!done(body) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(100ms);
      body = status(printer);
    }
    return body;
  }
  static void print(const std::string& queue, unsigned seed, std::uint32_t height = 40) {
    // 100 bytes a row: with the default height about 4 KB of raster.
    const HttpReply r = post(
        "print_sheet",
        SheetJob{.printer = queue, .width_dots = 800, .height_dots = height, .seed = seed}.body());
    ASSERT_EQ(r.status_line, "HTTP/1.1 200 OK") << r.body;
  }
  static ToolResult tool(std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"-h", cups_->server()});
    return run_tool(args, cups_->client_env());
  }
};

TEST_F(PrinterStatusCups, IdleThenPrintingOurJobThenIdleWithTheJobDone) {
  ASSERT_EQ(cups_->add_raw_queue("ZekoQ", printer_->port()), "");
  EXPECT_EQ(status("ZekoQ"), R"({"jobs":[],"message":"","reasons":[],"state":"idle"})");

  printer_->set_read_rate(2000);
  const std::size_t before = printer_->jobs().size();
  const std::int64_t sent_ms = now_ms();
  print("ZekoQ", 1);
  std::string body = status_until("ZekoQ", [](const std::string& b) {
    return state_of(b) == "printing" && job_states(b) == std::vector<std::string>{"printing"};
  });
  EXPECT_EQ(state_of(body), "printing") << body;
  ASSERT_EQ(jobs_of(body).size(), 1u) << body;
  const Job job = jobs_of(body)[0];
  EXPECT_EQ(job.state, "printing");
  // CUPS keeps the creation time in whole seconds.
  EXPECT_EQ(job.submitted_ms % 1000, 0);
  EXPECT_GE(job.submitted_ms, sent_ms - 2000);
  EXPECT_LE(job.submitted_ms, now_ms());

  printer_->set_read_rate(0);
  ASSERT_EQ(printer_->wait_for_jobs(before + 1, 30s).size(), before + 1);
  body = status_until("ZekoQ", [](const std::string& b) {
    return state_of(b) == "idle" && job_states(b) == std::vector<std::string>{"done"};
  });
  EXPECT_EQ(body, R"({"jobs":[{"id":)" + std::to_string(job.id) +
                      R"(,"state":"done","submitted_ms":)" + std::to_string(job.submitted_ms) +
                      R"(}],"message":"","reasons":[],"state":"idle"})");
}

TEST_F(PrinterStatusCups, DisabledQueueIsPausedWithItsReasonAndEnablingClearsIt) {
  ASSERT_EQ(cups_->add_raw_queue("ZekoQ", printer_->port()), "");
  ASSERT_EQ(tool({"cupsdisable", "-r", "换标签纸", "ZekoQ"}).exit_code, 0);
  EXPECT_EQ(status("ZekoQ"),
            R"({"jobs":[],"message":"换标签纸","reasons":["已暂停"],"state":"paused"})");

  // A job sent meanwhile waits in the paused queue.
  print("ZekoQ", 2);
  std::string body = status("ZekoQ");
  EXPECT_EQ(state_of(body), "paused") << body;
  EXPECT_EQ(job_states(body), std::vector<std::string>{"pending"}) << body;

  const std::size_t before = printer_->jobs().size();
  ASSERT_EQ(tool({"cupsenable", "ZekoQ"}).exit_code, 0);
  ASSERT_EQ(printer_->wait_for_jobs(before + 1, 30s).size(), before + 1);
  body = status_until("ZekoQ", [](const std::string& b) {
    return state_of(b) == "idle" && job_states(b) == std::vector<std::string>{"done"};
  });
  EXPECT_EQ(state_of(body), "idle") << body;
  EXPECT_NE(body.find(R"("reasons":[])"), std::string::npos) << body;
}

TEST_F(PrinterStatusCups, RefusingPrinterGivesAReasonAndOurJobWaits) {
  // Nothing listens on a port that was free a moment ago: every connection is refused.
  ASSERT_EQ(cups_->add_raw_queue("Gone", free_port()), "");
  print("Gone", 3);
  const std::string body = status_until(
      "Gone", [](const std::string& b) { return b.find(R"("reasons":[])") == std::string::npos; });
  // The socket backend retries and says so only in the message.
  EXPECT_EQ(state_of(body), "offline") << body;
  EXPECT_NE(body.find(R"("reasons":["无法连接打印机"])"), std::string::npos) << body;
  EXPECT_NE(body.find(R"("message":"The printer)"), std::string::npos) << body;
  EXPECT_EQ(job_states(body), std::vector<std::string>{"pending"}) << body;

  // Nothing has reached paper, so the stop withdraws it.
  EXPECT_EQ(post("cancel_jobs", body_for("Gone")).body, R"({"cancelled":1})");
  EXPECT_EQ(job_states(status("Gone")), std::vector<std::string>{"cancelled"});
  EXPECT_EQ(cups_->pending_jobs(), 0u);
}

TEST_F(PrinterStatusCups, CancelWithdrawsOnlyOurWaitingJobsNotOthersTitledLikeOurs) {
  ASSERT_EQ(cups_->add_raw_queue("ZekoQ", printer_->port()), "");
  printer_->set_read_rate(100);
  const std::size_t before = printer_->jobs().size();
  print("ZekoQ", 4);
  std::string body = status_until("ZekoQ", [](const std::string& b) {
    return job_states(b) == std::vector<std::string>{"printing"};
  });
  ASSERT_EQ(job_states(body), std::vector<std::string>{"printing"}) << body;
  print("ZekoQ", 5);
  print("ZekoQ", 6);
  const auto other = make_temp_dir("sv-other-job") / "label.txt";
  std::ofstream(other) << "SIZE 40 mm, 30 mm\r\nPRINT 1\r\n";
  // Other programs' jobs, two of them under our title, one held on purpose.
  for (const std::vector<std::string>& extra : {std::vector<std::string>{"-t", "other"},
                                                {"-t", "Sorvendale"},
                                                {"-t", "Sorvendale", "-H", "hold"}}) {
    std::vector<std::string> args = {"lp", "-d", "ZekoQ", "-o", "raw"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(other.string());
    const ToolResult lp = tool(args);
    ASSERT_EQ(lp.exit_code, 0) << lp.output;
  }
  body = status("ZekoQ");
  EXPECT_EQ(job_states(body), (std::vector<std::string>{"printing", "pending", "pending"})) << body;
  EXPECT_EQ(cups_->pending_jobs(), 6u);

  EXPECT_EQ(post("cancel_jobs", body_for("ZekoQ")).body, R"({"cancelled":2})");
  body = status("ZekoQ");
  EXPECT_EQ(job_states(body), (std::vector<std::string>{"printing", "cancelled", "cancelled"}))
      << body;
  // Ours on the printer and the other programs' jobs stay.
  EXPECT_EQ(cups_->pending_jobs(), 4u);
  EXPECT_EQ(post("cancel_jobs", body_for("ZekoQ")).body, R"({"cancelled":0})");

  printer_->set_read_rate(0);
  const auto jobs = printer_->wait_for_jobs(before + 3, 30s);
  ASSERT_EQ(jobs.size(), before + 3) << cups_->log();
  EXPECT_EQ(jobs[before + 1], "SIZE 40 mm, 30 mm\r\nPRINT 1\r\n");
  EXPECT_EQ(jobs[before + 2], "SIZE 40 mm, 30 mm\r\nPRINT 1\r\n");
  const std::vector<std::string> after = {"done", "cancelled", "cancelled"};
  EXPECT_EQ(job_states(status_until("ZekoQ",
                                    [&](const std::string& b) { return job_states(b) == after; })),
            after);
  std::filesystem::remove_all(other.parent_path());
}

TEST_F(PrinterStatusCups, CalibrateMediaSendsSizeGapAndGapDetect) {
  ASSERT_EQ(cups_->add_raw_queue("ZekoQ", printer_->port()), "");
  const std::size_t before = printer_->jobs().size();
  const HttpReply r = post("calibrate_media",
                           media_body("ZekoQ", R"("width_mm":50.8,"height_mm":30,"gap_mm":2.5)"));
  ASSERT_EQ(r.status_line, "HTTP/1.1 200 OK") << r.body;
  const std::string stream = "SIZE 50.8 mm, 30 mm\r\nGAP 2.5 mm, 0 mm\r\nGAPDETECT\r\n";
  EXPECT_EQ(r.body, R"({"bytes":)" + std::to_string(stream.size()) + R"(,"printer":"ZekoQ"})");
  const auto jobs = printer_->wait_for_jobs(before + 1, 30s);
  ASSERT_EQ(jobs.size(), before + 1) << cups_->log();
  EXPECT_EQ(jobs.back(), stream);
  EXPECT_EQ(cups_->completed_jobs("ZekoQ", 1).back().first, "Sorvendale");

  // Out-of-range sizes are refused with the value and the range; nothing is queued.
  const HttpReply wide =
      post("calibrate_media", media_body("ZekoQ", R"("width_mm":0,"height_mm":30,"gap_mm":2)"));
  EXPECT_EQ(wide.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(wide.body, "标签宽度不合法：0 mm，应大于 0 且不超过 3000 mm");
  const HttpReply text =
      post("calibrate_media", media_body("ZekoQ", R"("width_mm":40,"height_mm":"30","gap_mm":2)"));
  EXPECT_EQ(text.status_line, "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(text.body, "请求格式不对：invalid type: string, expected f64 at line 1 column 49");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(printer_->jobs().size(), before + 1);
}

TEST_F(PrinterStatusCups, FailuresAnswerLikePrintSheet) {
  ASSERT_EQ(cups_->add_raw_queue("ZekoQ", printer_->port()), "");
  for (const std::string command : {"printer_status", "cancel_jobs", "calibrate_media"}) {
    const auto command_body = [&](const std::string& name) {
      return command == "calibrate_media"
                 ? media_body(name, R"("width_mm":40,"height_mm":30,"gap_mm":2)")
                 : body_for(name);
    };
    for (const std::string name : {"NoSuchQueue", " ZekoQ "}) {
      const HttpReply r = post(command, command_body(name));
      EXPECT_EQ(r.status_line, "HTTP/1.1 500 Internal Server Error") << command;
      EXPECT_TRUE(r.body.starts_with("打不开打印机「" + name + "」：")) << r.body;
      EXPECT_TRUE(r.body.ends_with(" (IPP status 0x0406)")) << r.body;
    }
    // A huge name is quoted only in part.
    const HttpReply huge = post(command, command_body(std::string(1 << 20, 'n')));
    EXPECT_EQ(huge.status_line, "HTTP/1.1 500 Internal Server Error") << command;
    EXPECT_TRUE(huge.body.starts_with("打不开打印机「" + std::string(200, 'n') + "」："))
        << huge.body;
    EXPECT_LT(huge.body.size(), 1000u);
    EXPECT_EQ(post(command, command_body(" ")).body, "没有选择打印机");
    const HttpReply bad = post(command, R"({"printer":"ZekoQ","printer":"ZekoQ"})");
    EXPECT_EQ(bad.status_line, "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(bad.body, "请求格式不对：duplicate field `printer` at line 1 column 28");
    EXPECT_EQ(post(command).body, "请求格式不对：unexpected end of input at line 1 column 0");
    // GET is not served; a foreign page may not ask.
    const std::string path = "/api/" + command;
    EXPECT_EQ(split_reply(exchange(server_->port(), "GET " + path + " HTTP/1.1\r\n\r\n")).body,
              "no such api");
    const std::string body = command_body("ZekoQ");
    const HttpReply foreign = split_reply(exchange(
        server_->port(), "POST " + path +
                             " HTTP/1.1\r\nOrigin: http://example.com\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n" + body));
    EXPECT_EQ(foreign.status_line, "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(foreign.body, "origin not allowed");
  }
}

TEST_F(PrinterStatusCups, PrintSystemBackWithinTheRetriesAnswersOneThatStaysAwayIsNamed) {
  ASSERT_EQ(cups_->add_raw_queue("ZekoQ", printer_->port()), "");
  // Without its socket cupsd cannot be reached, as while it restarts; it returns in 300 ms.
  const std::string away = cups_->server() + ".away";
  std::filesystem::rename(cups_->server(), away);
  std::thread back([&] {
    std::this_thread::sleep_for(300ms);
    std::filesystem::rename(away, cups_->server());
  });
  const HttpReply listed = post("list_printers");
  back.join();
  EXPECT_EQ(listed.status_line, "HTTP/1.1 200 OK") << listed.body;
  EXPECT_EQ(status("ZekoQ"), R"({"jobs":[],"message":"","reasons":[],"state":"idle"})");

  cups_->stop();
  std::vector<HttpReply> down;
  for (const char* command : {"printer_status", "cancel_jobs"}) {
    down.push_back(post(command, body_for("ZekoQ")));
  }
  ASSERT_TRUE(cups_->start()) << cups_->log();
  for (const HttpReply& r : down) {
    EXPECT_EQ(r.status_line, "HTTP/1.1 500 Internal Server Error");
    EXPECT_TRUE(r.body.starts_with("无法连接系统打印服务（CUPS）：")) << r.body;
  }
}

}  // namespace
}  // namespace sv::test
