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

Status answer_health(ApiCall& call) {
  auto printers = call.spooler.enumerate_printers();
  const std::size_t count = printers ? printers.value().size() : 0;
  return write_json_reply(call.connection, printing::encode_health(count), call.allow);
}

Status answer_list_printers(ApiCall& call) {
  auto printers = call.spooler.enumerate_printers();
  if (!printers) return write_text_reply(call.connection, 500, printers.error(), call.allow);
  return write_json_reply(call.connection, printing::encode_printer_list(printers.value()),
                          call.allow);
}

// Decodes the body as it arrives, straight into the print stream's raster.
Status answer_print_sheet(ApiCall& call) {
  printing::PrintBodyStream body(call.content_length);
  Status read = call.reader.for_each_chunk(call.content_length,
                                           [&body](std::string_view chunk) { body.feed(chunk); });
  if (!read.ok()) return read;
  auto decoded = body.finish();
  if (!decoded) {
    return write_text_reply(call.connection, 400, "请求格式不对：" + decoded.error(), call.allow);
  }
  auto reply = printing::run_streamed_print_job(std::move(decoded).value(), call.spooler);
  if (!reply) return write_text_reply(call.connection, 500, reply.error(), call.allow);
  return write_json_reply(call.connection, printing::encode_print_reply(reply.value()), call.allow);
}

// printer_status and cancel_jobs: the {"printer": NAME} body, then the spooler call.
template <auto Run, auto Encode>
Status answer_printer_command(ApiCall& call) {
  auto printer = printing::decode_printer_body(call.body);
  if (!printer) {
    return write_text_reply(call.connection, 400, "请求格式不对：" + printer.error(), call.allow);
  }
  auto result = Run(printer.value(), call.spooler);
  if (!result) return write_text_reply(call.connection, 500, result.error(), call.allow);
  return write_json_reply(call.connection, Encode(result.value()), call.allow);
}

// calibrate_media: the {"printer", "width_mm", "height_mm", "gap_mm"} body, then the job.
Status answer_calibrate_media(ApiCall& call) {
  auto media = printing::decode_media_body(call.body);
  if (!media) {
    return write_text_reply(call.connection, 400, "请求格式不对：" + media.error(), call.allow);
  }
  auto bytes = printing::run_calibrate_media(media.value(), call.spooler);
  if (!bytes) return write_text_reply(call.connection, 500, bytes.error(), call.allow);
  return write_json_reply(call.connection,
                          printing::encode_media_reply(media.value().printer, bytes.value()),
                          call.allow);
}

constexpr Route kRoutes[] = {
    {"GET", "/api/health", BodyMode::drop, answer_health},
    {"POST", "/api/health", BodyMode::drop, answer_health},
    {"POST", "/api/list_printers", BodyMode::drop, answer_list_printers},
    {"POST", "/api/print_sheet", BodyMode::stream, answer_print_sheet},
    {"POST", "/api/printer_status", BodyMode::keep,
     answer_printer_command<printing::run_printer_status, printing::encode_printer_status>},
    {"POST", "/api/cancel_jobs", BodyMode::keep,
     answer_printer_command<printing::run_cancel_jobs, printing::encode_cancel_reply>},
    {"POST", "/api/calibrate_media", BodyMode::keep, answer_calibrate_media},
};

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

std::span<const Route> api_routes() {
  return kRoutes;
}

const Route* find_api_route(std::string_view method, std::string_view path) {
  for (const Route& route : kRoutes) {
    if (route.method == method && route.path == path) return &route;
  }
  return nullptr;
}

Status answer_no_such_api(platform::Socket& connection, std::string_view allow) {
  return write_text_reply(connection, 404, "no such api", allow);
}

}  // namespace sv::host
