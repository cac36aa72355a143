#include "host/reply.h"

#include <array>
#include <string>

namespace sv::host {
namespace {

void append_lines(std::string& head, std::span<const HeaderLine> lines) {
  for (const HeaderLine& line : lines) {
    head += line.name;
    head += ": ";
    head += line.value;
    head += "\r\n";
  }
}

// Both lines or none: the allowed origin and the note that it varies with the request's.
class CorsLines {
 public:
  explicit CorsLines(std::optional<std::string_view> allow_origin)
      : lines_{{{"Access-Control-Allow-Origin", allow_origin.value_or("")}, {"Vary", "Origin"}}},
        count_(allow_origin ? lines_.size() : 0) {}
  std::span<const HeaderLine> span() const { return std::span(lines_).first(count_); }

 private:
  std::array<HeaderLine, 2> lines_;
  std::size_t count_;
};

// Header block and body go out as two writes, each completed in full.
Status send_reply(platform::Socket& connection, std::uint16_t status, std::string_view reason,
                  const HeadLines& lines, std::string_view body) {
  Status written = write_head(connection, status, reason, lines, body.size());
  if (!written.ok() || body.empty()) return written;
  return connection.write_all(body);
}

}  // namespace

std::string reply_head(std::uint16_t status, std::string_view reason, const HeadLines& lines,
                       std::uint64_t content_length) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
  head += reason;
  head += "\r\n";
  append_lines(head, lines.leading);
  head += "Content-Length: " + std::to_string(content_length) + "\r\n";
  append_lines(head, lines.before_nosniff);
  if (lines.nosniff) head += "X-Content-Type-Options: nosniff\r\n";
  append_lines(head, lines.before_close);
  head += "Connection: close\r\n";
  append_lines(head, lines.trailing);
  head += "\r\n";
  return head;
}

Status write_head(platform::Socket& connection, std::uint16_t status, std::string_view reason,
                  const HeadLines& lines, std::uint64_t content_length) {
  return connection.write_all(reply_head(status, reason, lines, content_length));
}

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
  static constexpr HeaderLine kType[] = {{"Content-Type", "application/json; charset=utf-8"}};
  static constexpr HeaderLine kCache[] = {{"Cache-Control", "no-store"}};
  const CorsLines cors(allow_origin);
  return send_reply(connection, 200, "OK",
                    {.leading = kType, .before_nosniff = kCache, .trailing = cors.span()}, body);
}

Status write_text_reply(platform::Socket& connection, std::uint16_t status,
                        std::string_view message, std::optional<std::string_view> allow_origin) {
  static constexpr HeaderLine kType[] = {{"Content-Type", "text/plain; charset=utf-8"}};
  const CorsLines cors(allow_origin);
  return send_reply(connection, status, reason_phrase(status),
                    {.leading = kType, .trailing = cors.span()}, message);
}

Status write_preflight(platform::Socket& connection, std::string_view allow_origin) {
  const HeaderLine lines[] = {
      {"Access-Control-Allow-Origin", allow_origin},
      {"Access-Control-Allow-Methods", "GET, POST, OPTIONS"},
      {"Access-Control-Allow-Headers", "content-type"},
      {"Access-Control-Max-Age", "600"},
      {"Vary", "Origin"},
  };
  // The preflight carries no body, so it is the one reply without the nosniff line.
  return write_head(connection, 204, "No Content", {.leading = lines, .nosniff = false}, 0);
}

}  // namespace sv::host
