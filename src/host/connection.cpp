#include "host/connection.h"

#include <string>

#include "host/buffered_reader.h"
#include "host/head_reader.h"
#include "host/reply.h"
#include "host/request.h"
#include "host/routing.h"
#include "host/static_files.h"

namespace sv::host {
namespace {

// Our side is done: send FIN, then read and drop whatever the client still sends until it
// closes or kDrainTime passes. Closing with unread input would make the system reset the
// connection, and a reset can destroy a reply the client has not read yet.
void drain_after_reply(platform::Socket& connection, platform::Socket& reading) {
  connection.shutdown_send();
  const auto deadline = std::chrono::steady_clock::now() + kDrainTime;
  char sink[8192];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    if (!reading.set_receive_timeout(left).ok()) return;
    auto n = reading.read_some(sink);
    if (!n || n.value() == 0) return;
  }
}

// Everything after the head: gates, body, dispatch. Returns the reply's write status.
Status answer(platform::Socket& connection, BufferedReader& reader, const RequestHead& head,
              const ServiceContext& service) {
  std::optional<std::string_view> origin;
  if (head.origin) origin = *head.origin;

  if (head.method == "OPTIONS") return answer_preflight(connection, origin);
  if (head.is_api() && origin && !origin_allowed(*origin)) {
    return write_text_reply(connection, 403, "origin not allowed", std::nullopt);
  }
  if (head.content_length > kMaxBodyBytes) {
    return write_text_reply(connection, 413, "request body too large", std::nullopt);
  }
  const Route* route = head.is_api() ? find_api_route(head.method, head.path()) : nullptr;
  const BodyMode mode = route ? route->body : BodyMode::drop;
  std::string kept;
  if (mode == BodyMode::keep) {
    Status read = reader.for_each_chunk(head.content_length,
                                        [&kept](std::string_view chunk) { kept += chunk; });
    if (!read.ok()) return read;
  } else if (mode == BodyMode::drop) {
    if (Status read = reader.skip_exact(head.content_length); !read.ok()) return read;
  }
  if (!head.is_api()) {
    return serve_static(connection, head.path(), head.head_only(), service.frontend_dir);
  }
  const std::string_view allow = allow_origin_for(origin);
  if (!route) return answer_no_such_api(connection, allow);
  ApiCall call{connection, allow, service.spooler, reader, head.content_length, kept};
  return route->handler(call);
}

}  // namespace

Status handle_connection(platform::Socket& connection, const ServiceContext& service) {
  auto duplicate = connection.duplicate();
  if (!duplicate) return duplicate.status();
  platform::Socket reading = std::move(duplicate).value();
  if (Status set = reading.set_receive_timeout(kIdleTimeout); !set.ok()) return set;

  SocketSource source(reading);
  BufferedReader reader(source);
  RequestHead head;
  if (!read_request_head(reader, head)) return Error{"request head not read"};
  Status replied = answer(connection, reader, head, service);
  if (replied.ok()) drain_after_reply(connection, reading);
  return replied;
}

}  // namespace sv::host
