// A Spooler that records instead of printing, for tests of the print job and of the RAW
// document's clean-up paths.
//
//   sv::test::RecordingSpooler spooler;
//   spooler.fail_at = sv::test::RecordingSpooler::Step::start_page;
//   auto reply = run_print_job(request, spooler);      // "StartPagePrinter 失败：..."
//   EXPECT_EQ(spooler.calls, (std::vector<std::string>{"open_printer", "start_document",
//                                                       "start_page", "end_document",
//                                                       "close_printer"}));
//
// submit_raw_job runs the real step order (write_raw_document) over recorded steps, so the
// messages and the clean-up calls are those of the real spoolers. Not thread-safe.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "printing/raw_document.h"
#include "printing/spooler.h"

namespace sv::test {

class RecordingSpooler final : public printing::Spooler {
 public:
  enum class Step { none, open_printer, start_document, start_page, write };

  struct Submission {
    std::string printer;
    std::string stream;
  };

  // --- switches ---
  // The step that reports failure (every call of it, for write).
  Step fail_at = Step::none;
  // The text after "：" in a failed step's message.
  std::string error_description = "拒绝访问。 (os error 5)";
  // A write accepts at most this many bytes (0: all); exercises continued short writes.
  std::uint32_t max_write = 0;
  // A write succeeds but reports 0 bytes taken.
  bool write_takes_nothing = false;
  // What enumerate_printers returns: this error when set, else `printers`.
  std::optional<std::string> enumerate_error;
  std::vector<printing::PrinterInfo> printers;
  // What printer_status and cancel_jobs return: this error when set, else the values below.
  std::optional<std::string> status_error;
  printing::PrinterStatus status;
  std::uint32_t cancelled = 0;

  // --- records ---
  // Every submit_raw_job call, successful or not, with the whole stream it was given.
  std::vector<Submission> submitted;
  // The bytes that the writes accepted, over all submissions.
  std::string written;
  // Every step call in order: open_printer, start_document, start_page, write, end_page,
  // end_document, close_printer.
  std::vector<std::string> calls;
  int enumerations = 0;
  // The printer names printer_status and cancel_jobs were asked about.
  std::vector<std::string> status_asked;
  std::vector<std::string> cancel_asked;

  Status submit_raw_job(const std::string& printer, std::string_view stream) override {
    submitted.push_back({printer, std::string(stream)});
    Steps steps(*this);
    return printing::write_raw_document(steps, printer, stream);
  }

  Result<std::vector<printing::PrinterInfo>> enumerate_printers() override {
    ++enumerations;
    if (enumerate_error) return Error{*enumerate_error};
    return printers;
  }

  Result<printing::PrinterStatus> printer_status(const std::string& printer) override {
    status_asked.push_back(printer);
    if (status_error) return Error{*status_error};
    return status;
  }

  Result<std::uint32_t> cancel_jobs(const std::string& printer) override {
    cancel_asked.push_back(printer);
    if (status_error) return Error{*status_error};
    return cancelled;
  }

 private:
  class Steps final : public printing::RawDocumentSteps {
   public:
    explicit Steps(RecordingSpooler& s) : s_(s) {}
    bool open_printer() override { return step("open_printer", Step::open_printer); }
    bool start_document() override { return step("start_document", Step::start_document); }
    bool start_page() override { return step("start_page", Step::start_page); }
    bool write(const char* data, std::uint32_t size, std::uint32_t& taken) override {
      if (!step("write", Step::write)) return false;
      if (s_.write_takes_nothing) return true;
      taken = s_.max_write == 0 ? size : std::min(size, s_.max_write);
      s_.written.append(data, taken);
      return true;
    }
    void end_page() override { s_.calls.emplace_back("end_page"); }
    void end_document() override { s_.calls.emplace_back("end_document"); }
    void close_printer() override { s_.calls.emplace_back("close_printer"); }
    std::string error(std::string_view label) override {
      return std::string(label) + "：" + s_.error_description;
    }

   private:
    bool step(const char* name, Step which) {
      s_.calls.emplace_back(name);
      return s_.fail_at != which;
    }
    RecordingSpooler& s_;
  };
};

}  // namespace sv::test
