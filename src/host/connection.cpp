#include "host/connection.h"

#include <string>

#include "host/buffered_reader.h"
#include "host/head_reader.h"
#include "host/reply.h"
#include "host/request.h"
#include "host/routing.h"
#include "host/static_files.h"
#include "printing/api_json.h"

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
              const std::optional<std::filesystem::path>& frontend_dir) {
  std::optional<std::string_view> origin;
  if (head.origin) origin = *head.origin;

  if (head.method == "OPTIONS") return answer_preflight(connection, origin);
  if (head.is_api() && origin && !origin_allowed(*origin)) {
    return write_text_reply(connection, 403, "origin not allowed", std::nullopt);
  }
  if (head.content_length > kMaxBodyBytes) {
    return write_text_reply(connection, 413, "request body too large", std::nullopt);
  }
  // The body is read to its end before any reply, as a client that ends early gets none, but
  // it is never held whole for printing: print_sheet decodes it as it arrives, the small printer
  // commands keep theirs, every other request drops it.
  if (head.is_api() && api_reads_body(head.method, head.path())) {
    printing::PrintBodyStream body(head.content_length);
    Status read = reader.for_each_chunk(head.content_length,
                                        [&body](std::string_view chunk) { body.feed(chunk); });
    if (!read.ok()) return read;
    return answer_print_sheet(connection, body.finish(), allow_origin_for(origin));
  }
  if (head.is_api() && api_keeps_body(head.method, head.path())) {
    std::string body;
    Status read = reader.for_each_chunk(head.content_length,
                                        [&body](std::string_view chunk) { body += chunk; });
    if (!read.ok()) return read;
    return route_api(connection, head.method, head.path(), origin, body);
  }
  if (Status read = reader.skip_exact(head.content_length); !read.ok()) return read;
  if (head.is_api()) return route_api(connection, head.method, head.path(), origin, {});
  return serve_static(connection, head.path(), head.head_only(), frontend_dir);
}

}  // namespace

Status handle_connection(platform::Socket& connection,
                         const std::optional<std::filesystem::path>& frontend_dir) {
  auto duplicate = connection.duplicate();
  if (!duplicate) return duplicate.status();
  platform::Socket reading = std::move(duplicate).value();
  if (Status set = reading.set_receive_timeout(kIdleTimeout); !set.ok()) return set;

  SocketSource source(reading);
  BufferedReader reader(source);
  RequestHead head;
  if (!read_request_head(reader, head)) return Error{"request head not read"};
  Status replied = answer(connection, reader, head, frontend_dir);
  if (replied.ok()) drain_after_reply(connection, reading);
  return replied;
}

}  // namespace sv::host
