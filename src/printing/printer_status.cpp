#include "printing/printer_status.h"

#include "printing/winspool_bits.h"

#include <algorithm>
#include <bitset>

namespace sv::printing {
namespace {

// Every reason the command reports, in the order it lists them.
enum class Reason : std::uint8_t {
  paused,
  offline,
  connecting,
  unreachable,
  paper_out,
  paper_jam,
  paper_problem,
  ribbon_out,
  door_open,
  manual_feed,
  output_full,
  user_intervention,
  out_of_memory,
  not_available,
  spool_full,
  timed_out,
  fault,
  paper_low,
  ribbon_low,
  count
};

constexpr std::string_view kReasonText[] = {
    "已暂停",     "脱机",         "正在连接打印机", "无法连接打印机", "缺纸",
    "卡纸",       "纸张有问题",   "碳带用完",       "机盖打开",       "等待手动进纸",
    "出纸口已满", "需要人工处理", "打印机内存不足", "打印机不可用",   "队列空间已满",
    "连接超时",   "打印机故障",   "纸将用完",       "碳带将尽",
};
static_assert(std::size(kReasonText) == static_cast<std::size_t>(Reason::count));

// Reasons that stop printing until someone acts; they make the state "error".
constexpr Reason kErrorReasons[] = {
    Reason::paper_out,     Reason::paper_jam,   Reason::paper_problem, Reason::ribbon_out,
    Reason::door_open,     Reason::manual_feed, Reason::output_full,   Reason::user_intervention,
    Reason::out_of_memory, Reason::spool_full,  Reason::fault,
};

class Reasons {
 public:
  void add(Reason r) { bits_.set(static_cast<std::size_t>(r)); }
  bool has(Reason r) const { return bits_.test(static_cast<std::size_t>(r)); }
  bool any_error() const {
    return std::any_of(std::begin(kErrorReasons), std::end(kErrorReasons),
                       [&](Reason r) { return has(r); });
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < bits_.size(); ++i) {
      if (bits_.test(i)) out.emplace_back(kReasonText[i]);
    }
    return out;
  }

 private:
  std::bitset<static_cast<std::size_t>(Reason::count)> bits_;
};

// Offline outranks an error (nothing about paper is known then), an error outranks a pause
// the user chose, and any of them outranks activity.
PrinterState decide(const Reasons& r, bool paused, bool busy) {
  if (r.has(Reason::offline) || r.has(Reason::not_available) || r.has(Reason::unreachable)) {
    return PrinterState::offline;
  }
  if (r.any_error()) return PrinterState::error;
  if (paused) return PrinterState::paused;
  return busy ? PrinterState::printing : PrinterState::idle;
}

struct Keyword {
  std::string_view name;
  Reason reason;
};

// printer-state-reasons keywords (RFC 8011, PWG 5100.9 and CUPS's own), without suffix.
constexpr Keyword kKeywords[] = {
    {"paused", Reason::paused},
    {"offline", Reason::offline},
    {"shutdown", Reason::offline},
    {"connecting-to-device", Reason::connecting},
    {"media-empty", Reason::paper_out},
    {"media-needed", Reason::paper_out},
    {"input-tray-missing", Reason::paper_out},
    {"media-jam", Reason::paper_jam},
    {"media-path-failure", Reason::paper_problem},
    {"marker-supply-empty", Reason::ribbon_out},
    {"toner-empty", Reason::ribbon_out},
    {"ribbon-empty", Reason::ribbon_out},
    {"door-open", Reason::door_open},
    {"cover-open", Reason::door_open},
    {"interlock-open", Reason::door_open},
    {"output-area-full", Reason::output_full},
    {"output-tray-missing", Reason::output_full},
    {"spool-area-full", Reason::spool_full},
    {"timed-out", Reason::timed_out},
    {"media-low", Reason::paper_low},
    {"marker-supply-low", Reason::ribbon_low},
    {"toner-low", Reason::ribbon_low},
    {"ribbon-low", Reason::ribbon_low},
};

// Beginnings of the messages with which CUPS's socket, ipp, lpd and usb backends wait for a
// printer they cannot reach, retrying the job.
constexpr std::string_view kUnreachableMessages[] = {
    "The printer may not exist or is unavailable at this time",
    "The printer is unreachable at this time",
    "The printer is in use",
    "The printer is not responding",
    "Unable to locate printer",
    "Waiting for printer to become available",
    "The printer is not connected",
};

bool unreachable_message(std::string_view message) {
  return std::any_of(std::begin(kUnreachableMessages), std::end(kUnreachableMessages),
                     [&](std::string_view m) { return message.starts_with(m); });
}

// Splits "media-empty-error" into "media-empty" and "-error".
std::pair<std::string_view, std::string_view> split_severity(std::string_view keyword) {
  for (std::string_view suffix : {"-report", "-warning", "-error"}) {
    if (keyword.size() > suffix.size() && keyword.ends_with(suffix)) {
      return {keyword.substr(0, keyword.size() - suffix.size()), suffix};
    }
  }
  return {keyword, {}};
}

}  // namespace

std::string_view printer_state_name(PrinterState state) {
  switch (state) {
    case PrinterState::idle:
      return "idle";
    case PrinterState::printing:
      return "printing";
    case PrinterState::paused:
      return "paused";
    case PrinterState::offline:
      return "offline";
    case PrinterState::error:
      return "error";
  }
  return "error";
}

std::string_view job_state_name(JobState state) {
  switch (state) {
    case JobState::pending:
      return "pending";
    case JobState::printing:
      return "printing";
    case JobState::done:
      return "done";
    case JobState::failed:
      return "failed";
    case JobState::cancelled:
      return "cancelled";
  }
  return "failed";
}

StateAndReasons windows_printer_state(std::uint32_t status, std::uint32_t attributes,
                                      std::uint32_t jobs_status) {
  using namespace winspool_bits;
  struct Bit {
    std::uint32_t bit;
    Reason reason;
  };
  static constexpr Bit kPrinterBits[] = {
      {kPaused, Reason::paused},
      {kOffline, Reason::offline},
      {kServerOffline, Reason::offline},
      {kServerUnknown, Reason::offline},
      {kNotAvailable, Reason::not_available},
      {kPaperOut, Reason::paper_out},
      {kPaperJam, Reason::paper_jam},
      {kPaperProblem, Reason::paper_problem},
      {kNoToner, Reason::ribbon_out},
      {kDoorOpen, Reason::door_open},
      {kManualFeed, Reason::manual_feed},
      {kOutputFull, Reason::output_full},
      {kUserIntervention, Reason::user_intervention},
      {kOutOfMemory, Reason::out_of_memory},
      {kTonerLow, Reason::ribbon_low},
  };
  static constexpr Bit kJobBits[] = {
      {kJobOffline, Reason::offline},
      {kJobPaperOut, Reason::paper_out},
      {kJobUserIntervention, Reason::user_intervention},
  };
  Reasons r;
  for (const Bit& b : kPrinterBits) {
    if (status & b.bit) r.add(b.reason);
  }
  for (const Bit& b : kJobBits) {
    if (jobs_status & b.bit) r.add(b.reason);
  }
  if (attributes & kWorkOffline) r.add(Reason::offline);
  // The error bit alone names no cause; it still stops the printer.
  if ((status & kError) && !r.any_error()) r.add(Reason::fault);
  const bool busy =
      (status & (kPrinting | kBusy | kProcessing | kIoActive | kInitializing | kWarmingUp)) ||
      (jobs_status & kJobPrinting);
  return {decide(r, r.has(Reason::paused), busy), r.texts()};
}

JobState windows_job_state(std::uint32_t status) {
  using namespace winspool_bits;
  // A printed job is deleted from the queue afterwards: printed wins over deleting.
  if (status & (kJobPrinted | kJobComplete)) return JobState::done;
  if (status & (kJobDeleting | kJobDeleted)) return JobState::cancelled;
  if (status & kJobBlocked) return JobState::failed;
  if (status & kJobPrinting) return JobState::printing;
  // An error on a job that is not printing will not print by itself.
  if ((status & kJobError) && !(status & (kJobOffline | kJobPaperOut | kJobUserIntervention))) {
    return JobState::failed;
  }
  return JobState::pending;
}

StateAndReasons cups_printer_state(int printer_state, const std::vector<std::string>& keywords,
                                   std::string_view message) {
  Reasons r;
  if (unreachable_message(message)) r.add(Reason::unreachable);
  for (const std::string& keyword : keywords) {
    const auto split = split_severity(keyword);
    const auto& severity = split.second;
    const auto* known = std::find_if(std::begin(kKeywords), std::end(kKeywords),
                                     [&](const Keyword& k) { return k.name == split.first; });
    if (known != std::end(kKeywords)) {
      r.add(known->reason);
    } else if (severity == "-error") {
      r.add(Reason::fault);  // a driver's own error keyword
    }
  }
  constexpr int kProcessing = 4, kStopped = 5;
  const bool paused = printer_state == kStopped || r.has(Reason::paused);
  if (printer_state == kStopped) r.add(Reason::paused);
  return {decide(r, paused, printer_state == kProcessing), r.texts()};
}

bool cups_device_unreachable(const std::vector<std::string>& keywords, std::string_view message) {
  if (unreachable_message(message)) return true;
  return std::any_of(keywords.begin(), keywords.end(), [](const std::string& k) {
    const auto name = split_severity(k).first;
    return name == "connecting-to-device" || name == "offline" || name == "timed-out";
  });
}

JobState cups_job_state(int job_state, bool device_unreachable) {
  switch (job_state) {
    case 5:  // processing
      return device_unreachable ? JobState::pending : JobState::printing;
    case 7:  // canceled
      return JobState::cancelled;
    case 8:  // aborted
      return JobState::failed;
    case 9:  // completed
      return JobState::done;
    default:  // 3 pending, 4 held, 6 stopped
      return JobState::pending;
  }
}

}  // namespace sv::printing
