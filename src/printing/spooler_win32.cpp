// The Windows spooler (winspool) and the printers' registry values.
#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/wide_text_win32.h"
#include "printing/printer_order.h"
#include "printing/raw_document.h"
#include "printing/spooler.h"
#include "printing/spooler_reach.h"
#include "printing/submitted_jobs.h"
#include "text/utf16.h"

namespace sv::printing {
namespace {

using platform::utf8_to_wide;

std::u16string_view as_u16(const wchar_t* text, std::size_t size) {
  return platform::as_utf16(std::wstring_view(text, size));
}

// The first NUL-terminated text in a buffer of `units` UTF-16 units, converted leniently.
std::string from_wide(const wchar_t* text, std::size_t units) {
  return text::utf16_to_utf8_lenient(text::up_to_nul(as_u16(text, units)));
}

std::string from_wide(const wchar_t* text) {
  return from_wide(text, std::wcslen(text));
}

// The system error text of `code`: the message table's text without trailing white space,
// then " (os error N)".
std::string system_error_text(DWORD code) {
  wchar_t buffer[2048];
  const DWORD units =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  if (units == 0) {
    const DWORD lookup = GetLastError();
    return "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " +
           std::to_string(lookup) + ")";
  }
  std::u16string_view text = as_u16(buffer, units);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r' ||
                           text.back() == u'\n')) {
    text.remove_suffix(1);
  }
  const auto utf8 = text::utf16_to_utf8_strict(text);
  if (!utf8)
    return "OS Error " + std::to_string(code) + " (FormatMessageW() returned invalid UTF-16)";
  return *utf8 + " (os error " + std::to_string(code) + ")";
}

// "{label}：{system error text}"; reads the last error before anything else can change it.
std::string spooler_error(std::string_view label) {
  const DWORD code = GetLastError();
  std::string message(label);
  message += "：";
  message += system_error_text(code);
  return message;
}

// The spooler service (not a printer) is stopped or not answering its RPC calls.
bool spooler_service_unreachable(DWORD code) {
  return code == RPC_S_SERVER_UNAVAILABLE || code == RPC_S_SERVER_TOO_BUSY ||
         code == RPC_S_CALL_FAILED || code == RPC_S_CALL_FAILED_DNE;
}

bool spooler_unreachable() {
  return spooler_service_unreachable(GetLastError());
}

// spooler_error, or the print system's own fault when the spooler service is the culprit.
std::string spooler_or_service_error(std::string_view label) {
  const DWORD code = GetLastError();
  if (spooler_service_unreachable(code)) {
    return unreachable_message("Print Spooler", system_error_text(code));
  }
  SetLastError(code);
  return spooler_error(label);
}

class WinspoolDocument final : public RawDocumentSteps {
 public:
  explicit WinspoolDocument(const std::string& printer) : name_(utf8_to_wide(printer)) {}

  bool open_printer() override {
    // c_str(): the spooler sees the name up to a NUL inside it. Opening changes nothing, so
    // it is tried again while the spooler service does not answer.
    return retry_unreachable([&] { return OpenPrinterW(name_.data(), &handle_, nullptr) != 0; },
                             [] { return spooler_unreachable(); });
  }
  bool start_document() override {
    DOC_INFO_1W info{};
    info.pDocName = doc_name_.data();
    info.pOutputFile = nullptr;
    info.pDatatype = data_type_.data();
    job_id_ = StartDocPrinterW(handle_, 1, reinterpret_cast<LPBYTE>(&info));
    return job_id_ != 0;
  }
  // The spooler's id of the started document, 0 before.
  DWORD job_id() const { return job_id_; }
  bool start_page() override { return StartPagePrinter(handle_) != 0; }
  bool write(const char* data, std::uint32_t size, std::uint32_t& written) override {
    DWORD done = 0;
    const BOOL ok = WritePrinter(handle_, const_cast<char*>(data), size, &done);
    written = done;
    return ok != 0;
  }
  void end_page() override { EndPagePrinter(handle_); }
  void end_document() override { EndDocPrinter(handle_); }
  void close_printer() override { ClosePrinter(handle_); }
  std::string error(std::string_view label) override { return spooler_or_service_error(label); }

 private:
  std::wstring name_;
  std::wstring doc_name_ = L"Sorvendale";
  std::wstring data_type_ = L"RAW";
  HANDLE handle_ = nullptr;
  DWORD job_id_ = 0;
};

// The name jobs of this process carry as their owner; empty when unknown.
const std::wstring& current_user() {
  static const std::wstring user = [] {
    wchar_t buffer[257];  // UNLEN + 1
    DWORD size = static_cast<DWORD>(std::size(buffer));
    return GetUserNameW(buffer, &size) ? std::wstring(buffer) : std::wstring();
  }();
  return user;
}

// The default printer's name, or empty when there is none.
std::string default_printer_name() {
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size == 0) return {};
  std::vector<wchar_t> buffer(size);
  if (!GetDefaultPrinterW(buffer.data(), &size)) return {};
  return from_wide(buffer.data(), buffer.size());
}

// A string value of the printer's registry key; empty on any failure.
std::string read_printer_value(const std::string& name, const wchar_t* value_name) {
  const std::wstring key =
      L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + utf8_to_wide(name);
  wchar_t buffer[512];
  DWORD size = sizeof(buffer);  // 1,024 bytes: at most 511 characters and the NUL
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value_name, RRF_RT_REG_SZ, nullptr, buffer,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  return from_wide(buffer, std::size(buffer));
}

// An open printer, closed on scope exit.
class PrinterHandle {
 public:
  PrinterHandle() = default;
  ~PrinterHandle() {
    if (handle_ != nullptr) ClosePrinter(handle_);
  }
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;
  // False with the thread's last error set by OpenPrinterW.
  bool open(const std::string& printer) {
    std::wstring name = utf8_to_wide(printer);
    if (retry_unreachable([&] { return OpenPrinterW(name.data(), &handle_, nullptr) != 0; },
                          [] { return spooler_unreachable(); })) {
      return true;
    }
    handle_ = nullptr;
    return false;
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// A spooler record of `needed` bytes; records hold pointers, 8-byte units keep them aligned.
using RecordBuffer = std::vector<std::uint64_t>;

// The size-then-fill protocol of GetPrinterW and EnumJobsW. A queue that grew between the
// two calls (our own batch adds jobs) asks for a larger buffer again, a few times. An empty
// buffer means the spooler had nothing to return. False with the last error on failure.
template <typename Call>
bool fetch_records(Call call, RecordBuffer& buffer) {
  DWORD needed = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(RecordBuffer::value_type));
    if (call(buffer.empty() ? nullptr : reinterpret_cast<LPBYTE>(buffer.data()), size, &needed)) {
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size) {
      // Wine answers an empty job list with this error and a size of 0.
      return buffer.empty() && needed == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    }
    buffer.assign((needed + 7) / 8, 0);
  }
  return false;
}

std::int64_t unix_ms(const SYSTEMTIME& utc) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&utc, &ft)) return 0;
  const std::uint64_t ticks = (std::uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
  constexpr std::uint64_t kEpochTicks = 116444736000000000ull;  // 1601 -> 1970, 100 ns units
  return ticks < kEpochTicks ? 0 : static_cast<std::int64_t>((ticks - kEpochTicks) / 10000);
}

Result<PrinterStatus> read_status(HANDLE printer) {
  RecordBuffer info_buffer;
  if (!fetch_records([&](LPBYTE out, DWORD size,
                         DWORD* needed) { return GetPrinterW(printer, 2, out, size, needed); },
                     info_buffer) ||
      info_buffer.empty()) {
    return Error{spooler_error("GetPrinter 失败")};
  }
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(info_buffer.data());
  // More than the spooler holds in any real queue; EnumJobsW wants a bound.
  constexpr DWORD kMaxJobs = 100000;
  RecordBuffer job_buffer;
  DWORD returned = 0;
  if (!fetch_records(
          [&](LPBYTE out, DWORD size, DWORD* needed) {
            return EnumJobsW(printer, 0, kMaxJobs, 1, out, size, needed, &returned);
          },
          job_buffer)) {
    return Error{spooler_error("EnumJobs 失败")};
  }
  if (job_buffer.empty()) returned = 0;
  const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(job_buffer.data());
  PrinterStatus status;
  DWORD jobs_status = 0;
  const std::wstring title = utf8_to_wide(kJobTitle);
  for (DWORD i = 0; i < returned; ++i) {
    const JOB_INFO_1W& job = jobs[i];
    jobs_status |= job.Status;
    // The port monitor's own words about the device, as CUPS's printer-state-message.
    if (status.message.empty() && job.pStatus != nullptr && *job.pStatus != L'\0') {
      status.message = from_wide(job.pStatus);
    }
    if (job.pDocument == nullptr || title != job.pDocument) continue;
    // Ours: submitted by this process, as the user it runs as.
    if (!submitted_jobs().contains(job.JobId)) continue;
    if (job.pUserName == nullptr || current_user() != job.pUserName) continue;
    status.jobs.push_back({static_cast<std::uint32_t>(job.JobId), windows_job_state(job.Status),
                           unix_ms(job.Submitted)});
  }
  StateAndReasons state = windows_printer_state(info->Status, info->Attributes, jobs_status);
  status.state = state.state;
  status.reasons = std::move(state.reasons);
  return status;
}

class WindowsSpooler final : public Spooler {
 public:
  Status submit_raw_job(const std::string& printer, std::string_view stream) override {
    WinspoolDocument document(printer);
    Status status = write_raw_document(document, printer, stream);
    submitted_jobs().add(document.job_id());
    return status;
  }

  Result<std::vector<PrinterInfo>> enumerate_printers() override {
    const std::string default_name = default_printer_name();
    constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;  // 6
    DWORD needed = 0;
    DWORD returned = 0;
    retry_unreachable(
        [&] {
          needed = 0;
          EnumPrintersW(kFlags, nullptr, 4, nullptr, 0, &needed, &returned);
          return needed;
        },
        [&] { return needed == 0 && spooler_unreachable(); });
    if (needed == 0) {
      if (spooler_unreachable()) return Error{spooler_or_service_error("枚举打印机失败")};
      return std::vector<PrinterInfo>{};
    }
    // The records hold pointers; a buffer of 8-byte units keeps them aligned.
    std::vector<std::uint64_t> buffer((needed + 7) / 8);
    if (!EnumPrintersW(kFlags, nullptr, 4, reinterpret_cast<LPBYTE>(buffer.data()), needed, &needed,
                       &returned)) {
      return Error{spooler_or_service_error("枚举打印机失败")};
    }
    const auto* records = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    std::vector<PrinterInfo> printers;
    printers.reserve(returned);
    for (DWORD i = 0; i < returned; ++i) {
      if (records[i].pPrinterName == nullptr) continue;
      PrinterInfo info;
      info.name = from_wide(records[i].pPrinterName);
      if (info.name.empty()) continue;
      info.is_zeko = is_target_printer(info.name);
      info.port = read_printer_value(info.name, L"Port");
      info.driver = read_printer_value(info.name, L"Printer Driver");
      info.is_default = info.name == default_name;
      printers.push_back(std::move(info));
    }
    sort_printers(printers);
    return printers;
  }

  Result<PrinterStatus> printer_status(const std::string& printer) override {
    PrinterHandle handle;
    if (!handle.open(printer)) return Error{spooler_or_service_error(open_failure_label(printer))};
    return read_status(handle.get());
  }

  Result<std::uint32_t> cancel_jobs(const std::string& printer) override {
    PrinterHandle handle;
    if (!handle.open(printer)) return Error{spooler_or_service_error(open_failure_label(printer))};
    auto status = read_status(handle.get());
    if (!status) return Error{status.error()};
    std::uint32_t cancelled = 0;
    std::string first_error;
    for (const QueuedJob& job : status.value().jobs) {
      if (!is_waiting(job.state)) continue;
      if (SetJobW(handle.get(), job.id, 0, nullptr, JOB_CONTROL_DELETE)) {
        ++cancelled;
      } else if (GetLastError() != ERROR_INVALID_PARAMETER && first_error.empty()) {
        // ERROR_INVALID_PARAMETER: the job left the queue since the listing.
        first_error = spooler_error("SetJob 失败");
      }
    }
    if (!first_error.empty()) return Error{first_error};
    return cancelled;
  }
};

}  // namespace

Spooler& system_spooler() {
  static WindowsSpooler spooler;
  return spooler;
}

}  // namespace sv::printing
