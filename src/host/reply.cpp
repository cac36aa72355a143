#include "host/reply.h"

#include <string>

namespace sv::host {
namespace {

void append_cors(std::string& head, std::optional<std::string_view> allow_origin) {
  if (!allow_origin) return;
  head += "Access-Control-Allow-Origin: ";
  head += *allow_origin;
  head += "\r\nVary: Origin\r\n";
}

// Header block and body go out as two writes, each completed in full.
Status send_reply(platform::Socket& connection, const std::string& head, std::string_view body) {
  Status status = connection.write_all(head);
  if (!status.ok() || body.empty()) return status;
  return connection.write_all(body);
}

}  // namespace

std::string_view reason_phrase(std::uint16_t status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 500:
      return "Internal Server Error";
    default:
      return "Error";
  }
}

Status write_json_reply(platform::Socket& connection, std::string_view body,
                        std::optional<std::string_view> allow_origin) {
  std::string head =
      "HTTP/1.1 200 OK\r\n"
      "Content-Type: application/json; charset=utf-8\r\n"
      "Content-Length: " +
      std::to_string(body.size()) +
      "\r\n"
      "Cache-Control: no-store\r\n"
      "X-Content-Type-Options: nosniff\r\n"
      "Connection: close\r\n";
  append_cors(head, allow_origin);
  head += "\r\n";
  return send_reply(connection, head, body);
}

Status write_text_reply(platform::Socket& connection, std::uint16_t status,
                        std::string_view message, std::optional<std::string_view> allow_origin) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
  head += reason_phrase(status);
  head +=
      "\r\n"
      "Content-Type: text/plain; charset=utf-8\r\n"
      "Content-Length: " +
      std::to_string(message.size()) +
      "\r\n"
      "X-Content-Type-Options: nosniff\r\n"
      "Connection: close\r\n";
  append_cors(head, allow_origin);
  head += "\r\n";
  return send_reply(connection, head, message);
}

Status write_preflight(platform::Socket& connection, std::string_view allow_origin) {
  std::string head = "HTTP/1.1 204 No Content\r\nAccess-Control-Allow-Origin: ";
  head += allow_origin;
  head +=
      "\r\n"
      "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
      "Access-Control-Allow-Headers: content-type\r\n"
      "Access-Control-Max-Age: 600\r\n"
      "Vary: Origin\r\n"
      "Content-Length: 0\r\n"
      "Connection: close\r\n"
      "\r\n";
  return connection.write_all(head);
}

}  // namespace sv::host
