// Decoding the print_sheet body, whole or chunk by chunk as it arrives.
#include <boost/json/basic_parser_impl.hpp>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "printing/api_json.h"
#include "printing/base64.h"
#include "printing/print_body_handler.h"
#include "printing/raster_memory.h"
#include "printing/strict_json.h"
#include "printing/tspl.h"

namespace sv::printing {
namespace {

using detail::Base64Target;
using detail::BodyHandler;
namespace json = boost::json;

// The decoder over a body given in chunks: Boost.JSON's incremental parser, the member rules
// of BodyHandler, and positions counted across chunks. After the first fault the remaining
// chunks are ignored.
class BodyParser {
 public:
  BodyParser(Base64Target* raster, std::size_t total)
      : raster_(raster), parser_(parse_options(), raster), positions_(total) {}

  // No write ends inside a literal (null, true, false) or inside a UTF-8
  // sequence: the parser places a fault there by where the write began, and the positions
  // must not depend on how the body was cut. Such a tail waits for the next chunk.
  void feed(std::string_view chunk) {
    if (!held_.empty()) {
      joined_.assign(held_);
      joined_.append(chunk);
      held_.clear();
      chunk = joined_;
    }
    // Holding a literal back can leave a cut sequence at the new end, and the other way round.
    std::size_t tail = 0;
    for (std::size_t more = unfinished_tail(chunk); more > 0;
         more = unfinished_tail(chunk.substr(0, chunk.size() - tail))) {
      tail += more;
    }
    write(chunk.substr(0, chunk.size() - tail));
    held_.assign(chunk.substr(chunk.size() - tail));
  }

  // Bytes at the end of `chunk` that may be the start of a literal or of a UTF-8 sequence.
  std::size_t unfinished_tail(std::string_view chunk) const {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(chunk[i]); };
    const std::size_t n = chunk.size();
    // The parser waits for a sequence's full length before it judges any of its bytes.
    std::size_t sequence = 0;
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
      const unsigned char lead = byte(n - back);
      if (lead < 0xC0) continue;
      const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (back < length) sequence = back;
    }
    // An escape is judged whole as well; "\uD83D\uDE00" is the longest, 12 bytes.
    std::size_t escape = 0;
    for (std::size_t back = 1; back < kLongestEscape && back <= n; ++back) {
      if (chunk[n - back] == '\\') escape = back;
    }
    sequence = std::max(sequence, escape);
    // A literal starts with a small letter after a colon, a comma, an opening bracket, white
    // space or nothing; the parser judges it at its start only when all of it is there.
    for (std::size_t p = n > kLongestLiteral - 1 ? n - (kLongestLiteral - 1) : 0; p < n; ++p) {
      if (chunk[p] < 'a' || chunk[p] > 'z') continue;
      const std::optional<char> before = p > 0 ? std::optional<char>(chunk[p - 1]) : last_written_;
      if (!before || std::string_view(":,[ \t\r\n").find(*before) != std::string_view::npos) {
        return std::max(sequence, n - p);
      }
    }
    return sequence;
  }

  // One call of the parser; `more` false for the body's last bytes.
  void write(std::string_view chunk, bool more = true) {
    if (chunk.empty() && more) return;
    if (!more) ended_ = true;
    if (!chunk.empty()) last_written_ = chunk.back();
    if (fault_) {
      base_ += chunk.size();
      return;
    }
    if (raster_ != nullptr && parser_.handler().inside_raster_text()) {
      // The parser waits inside the Base64 text, where plain alphabet characters change
      // nothing but the raster: they go straight to the decoder, which spares the parser's
      // scan of many MiB. The parser goes on with the first other byte.
      const std::size_t taken = raster_->base64_alphabet(chunk);
      positions_.skip(taken);
      base_ += taken;
      chunk.remove_prefix(taken);
      if (chunk.empty() && more) return;
    }
    positions_.begin_chunk(chunk);
    parser_.handler().set_chunk(chunk, base_);
    std::size_t used = 0;
    if (!parser_.done()) {
      json::error_code ec;
      used = parser_.write_some(more, chunk.empty() ? "" : chunk.data(), chunk.size(), ec);
      if (ec) fail(ec, base_ + used);
    }
    // After the document only white space may follow; the parser takes it while it is done.
    if (!fault_ && parser_.done()) {
      const std::size_t other = chunk.find_first_not_of(" \t\r\n", used);
      if (other != std::string_view::npos) {
        fault_ = "trailing characters" + positions_.at(base_ + other);
      }
    }
    positions_.end_chunk();
    base_ += chunk.size();
  }

  Result<PrintRequest> finish() {
    if (!ended_) {
      const std::string rest = std::move(held_);
      held_.clear();
      write(rest, false);
    }
    if (fault_) return Error{*fault_};
    return std::move(parser_.handler().request());
  }

 private:
  static json::parse_options parse_options() {
    json::parse_options options;
    options.max_depth = kMaxJsonDepth;
    return options;
  }

  void fail(const json::error_code& ec, std::size_t parser_offset) {
    const BodyHandler& handler = parser_.handler();
    if (!handler.fault().empty()) {
      const std::size_t at =
          handler.fault_offset() != std::size_t(-1) ? handler.fault_offset() : parser_offset;
      fault_ = handler.fault() + positions_.at(at);
    } else {
      fault_ = parser_fault(ec) + positions_.at(parser_offset);
    }
  }

  static constexpr std::size_t kLongestLiteral = 5;  // "false"
  static constexpr std::size_t kLongestEscape = 12;  // a surrogate pair

  Base64Target* raster_;
  json::basic_parser<BodyHandler> parser_;
  JsonPositions positions_;
  std::string held_;
  std::string joined_;
  std::optional<char> last_written_;  // none before the first byte of the body
  bool ended_ = false;                // the last bytes were written
  std::size_t base_ = 0;
  std::optional<std::string> fault_;
};

}  // namespace

Result<PrintRequest> decode_print_body(std::string_view body) {
  BodyParser parser(nullptr, body.size());
  parser.write(body, false);
  return parser.finish();
}

// Decodes data_b64 into reserved memory as its pieces arrive, at kTsplHeadRoom from the start
// so that the stream can later be framed around it in place.
class PrintBodyStream::Impl final : public Base64Target {
 public:
  explicit Impl(std::uint64_t body_length)
      : parser_(this, static_cast<std::size_t>(body_length)),
        // Base64 yields at most three bytes per four characters of the body.
        max_raster_(static_cast<std::size_t>(body_length / 4 * 3 + 3)) {}

  void base64_piece(std::string_view piece) override {
    make_room(piece.size());
    decoder_.feed(piece);
  }

  std::size_t base64_alphabet(std::string_view bytes) override {
    make_room(bytes.size());
    return decoder_.feed_alphabet(bytes);
  }

  // Room for what `text_bytes` more characters can add, so memory follows the bytes received.
  void make_room(std::size_t text_bytes) {
    if (!memory_ && !reserve_failed_) {
      memory_ = take_raster_memory(kTsplHeadRoom + max_raster_ + kTsplTailRoom);
      reserve_failed_ = !memory_;
    }
    if (memory_ && !decoder_.failed()) {
      const std::size_t room = std::min(max_raster_, decoder_.decoded() + text_bytes / 4 * 3 + 3);
      if (room > committed_ && memory_->commit(kTsplHeadRoom + room)) {
        committed_ = room;
        decoder_.set_output(memory_->data() + kTsplHeadRoom, committed_);
      }
    }
  }

  ~Impl() { give_back_raster_memory(std::move(memory_)); }

  BodyParser parser_;
  std::size_t max_raster_;
  std::optional<platform::ReservedMemory> memory_;
  bool reserve_failed_ = false;
  std::size_t committed_ = 0;
  Base64Decoder decoder_;
};

PrintBodyStream::PrintBodyStream(std::uint64_t body_length)
    : impl_(std::make_unique<Impl>(body_length)) {}
PrintBodyStream::~PrintBodyStream() = default;

void PrintBodyStream::feed(std::string_view chunk) {
  impl_->parser_.feed(chunk);
}

Result<StreamedPrint> PrintBodyStream::finish() {
  auto request = impl_->parser_.finish();
  if (!request) return Error{request.error()};
  StreamedPrint print{std::move(request).value(), impl_->decoder_.finish(), {}};
  // Written only while it fitted what was committed; a longer raster fails the length check.
  if (print.raster && print.raster.value() <= impl_->committed_) {
    print.memory = std::move(impl_->memory_);
  }
  return print;
}

std::string_view data_b64_text(const PrintRequest& request) {
  if (!request.data_b64_storage.empty()) return request.data_b64_storage;
  return request.data_b64;
}

}  // namespace sv::printing
