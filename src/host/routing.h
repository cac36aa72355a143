// What the service answers once a request is read: the origin policy, the CORS preflight
// and the table of API commands.
#pragma once

#include <optional>
#include <string_view>

#include "platform/result.h"
#include "platform/socket.h"
#include "printing/api_json.h"

namespace sv::host {

// True for http(s) origins whose host is localhost, 127.0.0.1 or [::1] (any port, any
// letter case, surrounding white space ignored) and for tauri://localhost.
bool origin_allowed(std::string_view origin);

// The value of Access-Control-Allow-Origin: the origin as received, or "*" without one.
std::string_view allow_origin_for(const std::optional<std::string_view>& origin);

// Answers an OPTIONS request for any path: 204 for no origin or an allowed one, else 403.
Status answer_preflight(platform::Socket& connection, std::optional<std::string_view> origin);

// True for the one API call that reads its body (POST print_sheet); every other request's
// body is dropped as it arrives.
bool api_reads_body(std::string_view method, std::string_view path);

// True for the small printer commands (printer_status, cancel_jobs, calibrate_media), whose body is
// read whole and handed to route_api; it is bounded by the body limit like every other.
bool api_keeps_body(std::string_view method, std::string_view path);

// Answers print_sheet from its body decoded as it arrived: 400 for a body that is no print
// body, else the print job's 500 or 200.
Status answer_print_sheet(platform::Socket& connection, Result<printing::StreamedPrint> decoded,
                          std::string_view allow);

// Answers one request under "/api/" (path already cut at "?"); writes exactly one reply.
// The origin gate has already been applied.
Status route_api(platform::Socket& connection, std::string_view method, std::string_view path,
                 std::optional<std::string_view> origin, std::string_view body);

}  // namespace sv::host
