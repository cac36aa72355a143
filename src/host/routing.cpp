#include "host/routing.h"

#include <string>

#include "host/reply.h"
#include "printing/api_json.h"
#include "printing/print_job.h"
#include "printing/printer_commands.h"
#include "printing/spooler.h"
#include "printing/status_json.h"
#include "text/utf8.h"

namespace sv::host {
namespace {

std::size_t count_printers() {
  auto printers = printing::system_spooler().enumerate_printers();
  return printers ? printers.value().size() : 0;
}

Status answer_health(platform::Socket& connection, std::string_view allow) {
  return write_json_reply(connection, printing::encode_health(count_printers()), allow);
}

Status answer_list_printers(platform::Socket& connection, std::string_view allow) {
  auto printers = printing::system_spooler().enumerate_printers();
  if (!printers) return write_text_reply(connection, 500, printers.error(), allow);
  return write_json_reply(connection, printing::encode_printer_list(printers.value()), allow);
}

// printer_status and cancel_jobs: the {"printer": NAME} body, then the spooler call.
template <typename Call, typename Encode>
Status answer_printer_command(platform::Socket& connection, std::string_view body,
                              std::string_view allow, Call call, Encode encode) {
  auto printer = printing::decode_printer_body(body);
  if (!printer) {
    return write_text_reply(connection, 400, "请求格式不对：" + printer.error(), allow);
  }
  auto result = call(printer.value(), printing::system_spooler());
  if (!result) return write_text_reply(connection, 500, result.error(), allow);
  return write_json_reply(connection, encode(result.value()), allow);
}

Status answer_calibrate_media(platform::Socket& connection, std::string_view body,
                              std::string_view allow) {
  auto media = printing::decode_media_body(body);
  if (!media) return write_text_reply(connection, 400, "请求格式不对：" + media.error(), allow);
  auto bytes = printing::run_calibrate_media(media.value(), printing::system_spooler());
  if (!bytes) return write_text_reply(connection, 500, bytes.error(), allow);
  return write_json_reply(
      connection, printing::encode_media_reply(media.value().printer, bytes.value()), allow);
}

}  // namespace

bool origin_allowed(std::string_view origin) {
  std::string o(text::trim_unicode_whitespace(origin));
  for (char& c : o) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (o.empty()) return false;
  if (o == "tauri://localhost") return true;
  std::string_view rest = o;
  if (rest.starts_with("http://")) {
    rest.remove_prefix(7);
  } else if (rest.starts_with("https://")) {
    rest.remove_prefix(8);
  } else {
    return false;
  }
  // The authority ends at the path, the query or the fragment, so "http://evil.com#@127.0.0.1"
  // has the host evil.com, not the text after its last "@".
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  const auto at = authority.rfind('@');
  const std::string_view host_port =
      at == std::string_view::npos ? authority : authority.substr(at + 1);
  std::string_view host;
  if (host_port.starts_with("[")) {
    const std::string_view inner = host_port.substr(1);
    host = inner.substr(0, inner.find(']'));
  } else {
    host = host_port.substr(0, host_port.find(':'));
  }
  return host == "localhost" || host == "127.0.0.1" || host == "::1";
}

std::string_view allow_origin_for(const std::optional<std::string_view>& origin) {
  return origin ? *origin : std::string_view("*");
}

Status answer_preflight(platform::Socket& connection, std::optional<std::string_view> origin) {
  if (origin && !origin_allowed(*origin)) {
    return write_text_reply(connection, 403, "origin not allowed", std::nullopt);
  }
  return write_preflight(connection, allow_origin_for(origin));
}

Status answer_print_sheet(platform::Socket& connection, Result<printing::StreamedPrint> decoded,
                          std::string_view allow) {
  if (!decoded) {
    return write_text_reply(connection, 400, "请求格式不对：" + decoded.error(), allow);
  }
  auto reply =
      printing::run_streamed_print_job(std::move(decoded).value(), printing::system_spooler());
  if (!reply) return write_text_reply(connection, 500, reply.error(), allow);
  return write_json_reply(connection, printing::encode_print_reply(reply.value()), allow);
}

bool api_reads_body(std::string_view method, std::string_view path) {
  return method == "POST" && path == "/api/print_sheet";
}

bool api_keeps_body(std::string_view method, std::string_view path) {
  return method == "POST" && (path == "/api/printer_status" || path == "/api/cancel_jobs" ||
                              path == "/api/calibrate_media");
}

Status route_api(platform::Socket& connection, std::string_view method, std::string_view path,
                 std::optional<std::string_view> origin, std::string_view body) {
  const std::string_view allow = allow_origin_for(origin);
  const std::string_view command = path.substr(std::string_view("/api/").size());
  const bool get = method == "GET";
  const bool post = method == "POST";
  if (command == "health" && (get || post)) return answer_health(connection, allow);
  if (command == "list_printers" && post) return answer_list_printers(connection, allow);
  if (command == "print_sheet" && post) {
    printing::PrintBodyStream decoder(body.size());
    decoder.feed(body);
    return answer_print_sheet(connection, decoder.finish(), allow);
  }
  if (command == "printer_status" && post) {
    return answer_printer_command(connection, body, allow, printing::run_printer_status,
                                  printing::encode_printer_status);
  }
  if (command == "cancel_jobs" && post) {
    return answer_printer_command(connection, body, allow, printing::run_cancel_jobs,
                                  printing::encode_cancel_reply);
  }
  if (command == "calibrate_media" && post) {
    return answer_calibrate_media(connection, body, allow);
  }
  return write_text_reply(connection, 404, "no such api", allow);
}

}  // namespace sv::host
