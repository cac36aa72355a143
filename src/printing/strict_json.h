// What the strict body decoders (print_sheet and the printer commands) share, so that both
// describe the same JSON fault in the same words at the same place: the fault texts, the
// positions, and the shape of a handler on Boost.JSON's event parser.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include <boost/json/basic_parser.hpp>
#include <boost/json/error.hpp>

namespace sv::printing {

// Arrays and objects nest at most this deep, the outermost object counting as one.
inline constexpr std::size_t kMaxJsonDepth = 127;

// The parser's own fault ("invalid JSON syntax", "unexpected end of input", ...).
std::string parser_fault(const boost::json::error_code& ec);

// A number's text in backquotes, cut to 40 characters with "..." after.
std::string quoted_number(std::string_view text);

// What every strict handler has in common: no size limits of the parser's own (the body
// limit bounds everything), nothing to do for the document's ends and comments, and the first
// fault it refused the document for.
class StrictHandler {
 public:
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);

  bool on_document_begin(boost::json::error_code&) { return true; }
  bool on_document_end(boost::json::error_code&) { return true; }
  bool on_comment_part(boost::json::string_view, boost::json::error_code&) { return true; }
  bool on_comment(boost::json::string_view, boost::json::error_code&) { return true; }

  // Set when the handler refused the document (the parser's own faults leave it empty).
  const std::string& fault() const { return fault_; }

 protected:
  bool fail(std::string message, boost::json::error_code& ec) {
    fault_ = std::move(message);
    ec = boost::json::error::test_failure;
    return false;
  }

 private:
  std::string fault_;
};

// Line and column of byte offsets in a body seen chunk by chunk, both counted from 1; the
// column counts bytes. An offset at the end of the body names the last byte read (column 0
// on an empty line). Offsets from one before the current chunk to its end can be named.
class JsonPositions {
 public:
  explicit JsonPositions(std::size_t total) : total_(total) {}

  void begin_chunk(std::string_view chunk) { chunk_ = chunk; }
  // Bytes between chunks that hold no line feed.
  void skip(std::size_t count) {
    if (count == 0) return;
    prev_lines_ = lines_;
    prev_line_start_ = line_start_;
    base_ += count;
  }
  void end_chunk() {
    if (chunk_.empty()) return;
    // The line feeds found by memchr: a Base64 text of many MiB usually has none.
    std::size_t last_nl = std::string_view::npos, before_last_nl = std::string_view::npos;
    std::size_t count = 0;
    for (const char* p = chunk_.data();
         const void* hit =
             std::memchr(p, '\n', static_cast<std::size_t>(chunk_.data() + chunk_.size() - p));) {
      before_last_nl = last_nl;
      last_nl = static_cast<std::size_t>(static_cast<const char*>(hit) - chunk_.data());
      p = static_cast<const char*>(hit) + 1;
      ++count;
    }
    // [0, base_ + size - 1): as below, without the chunk's last byte if it is a line feed.
    const bool ends_with_nl = last_nl == chunk_.size() - 1;
    prev_lines_ = lines_ + count - (ends_with_nl ? 1 : 0);
    const std::size_t prev_nl = ends_with_nl ? before_last_nl : last_nl;
    prev_line_start_ = prev_nl == std::string_view::npos ? line_start_ : base_ + prev_nl + 1;
    lines_ += count;
    if (last_nl != std::string_view::npos) line_start_ = base_ + last_nl + 1;
    base_ += chunk_.size();
    chunk_ = {};
  }

  std::string at(std::size_t offset) const {
    const bool at_end = offset >= total_;
    offset = std::min(offset, total_);
    std::size_t lines = lines_;
    std::size_t line_start = line_start_;
    if (offset + 1 == base_) {
      lines = prev_lines_;
      line_start = prev_line_start_;
    } else if (offset >= base_) {
      const std::size_t upto = std::min(offset - base_, chunk_.size());
      std::string_view before = chunk_.substr(0, upto);
      lines += static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
      const std::size_t nl = before.rfind('\n');
      if (nl != std::string_view::npos) line_start = base_ + nl + 1;
    }
    const std::size_t column = offset - line_start + (at_end ? 0 : 1);
    return " at line " + std::to_string(lines + 1) + " column " + std::to_string(column);
  }

 private:
  std::size_t total_;
  std::string_view chunk_;
  std::size_t base_ = 0;                              // offset of chunk_
  std::size_t lines_ = 0, line_start_ = 0;            // over [0, base_)
  std::size_t prev_lines_ = 0, prev_line_start_ = 0;  // over [0, base_ - 1)
};

// " at line L column C" for the byte at `offset` of a whole body.
inline std::string json_position(std::string_view body, std::size_t offset) {
  JsonPositions positions(body.size());
  positions.begin_chunk(body);
  return positions.at(offset);
}

}  // namespace sv::printing
