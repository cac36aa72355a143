// What the service answers once a request is read: the origin policy, the CORS preflight
// and the table of API commands.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "host/buffered_reader.h"
#include "platform/result.h"
#include "platform/socket.h"
#include "printing/spooler.h"

namespace sv::host {

// True for http(s) origins whose host is localhost, 127.0.0.1 or [::1] (any port, any
// letter case, surrounding white space ignored) and for tauri://localhost.
bool origin_allowed(std::string_view origin);

// The value of Access-Control-Allow-Origin: the origin as received, or "*" without one.
std::string_view allow_origin_for(const std::optional<std::string_view>& origin);

// Answers an OPTIONS request for any path: 204 for no origin or an allowed one, else 403.
Status answer_preflight(platform::Socket& connection, std::optional<std::string_view> origin);

// What the connection does with a command's body before the handler runs. Every body is read
// to its end before any reply, as a client that ends early gets none.
enum class BodyMode {
  stream,  // the handler reads it as it arrives (print_sheet: never held whole)
  keep,    // read whole and handed over (the small printer commands; bounded by the body limit)
  drop,    // read and dropped
};

// One API request, as its handler sees it. The origin gate has already been applied.
struct ApiCall {
  platform::Socket& connection;
  std::string_view allow;      // the Access-Control-Allow-Origin value
  printing::Spooler& spooler;  // handed in from start-up
  BufferedReader& reader;      // BodyMode::stream: the body is the next content_length bytes
  std::uint64_t content_length;
  std::string_view body;  // BodyMode::keep: the whole body
};

struct Route {
  std::string_view method;
  std::string_view path;
  BodyMode body;
  Status (*handler)(ApiCall& call);  // writes exactly one reply, or fails reading the body
};

// Every API command the service answers.
std::span<const Route> api_routes();

// The route for an API path (already cut at "?"), or nullptr: the body is then dropped and
// the reply is 404 "no such api".
const Route* find_api_route(std::string_view method, std::string_view path);

Status answer_no_such_api(platform::Socket& connection, std::string_view allow);

}  // namespace sv::host
