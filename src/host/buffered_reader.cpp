#include "host/buffered_reader.h"

#include <algorithm>
#include <cstring>

namespace sv::host {

Result<std::size_t> BufferedReader::read_source(std::span<char> buf) {
  auto n = source_.read_some(buf);
  if (n && received_ < kBulkFromBytes) {
    received_ += n.value();
    if (received_ >= kBulkFromBytes) source_.expect_bulk();
  }
  return n;
}

Status BufferedReader::fill() {
  begin_ = 0;
  end_ = 0;
  auto n = read_source(buffer_);
  if (!n) return n.status();
  end_ = n.value();
  if (end_ == 0) eof_ = true;
  return Status::Ok();
}

BufferedReader::LineResult BufferedReader::read_line(std::string& line, std::size_t max_bytes) {
  line.clear();
  for (;;) {
    if (begin_ == end_) {
      if (eof_) return line.empty() ? LineResult::kEnd : LineResult::kLine;
      if (!fill().ok()) return LineResult::kFailed;
      continue;
    }
    const char* start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const void* lf = std::memchr(start, '\n', available);
    const std::size_t take =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1
                      : available;
    if (line.size() + take > max_bytes) return LineResult::kTooLong;
    line.append(start, take);
    begin_ += take;
    if (lf != nullptr) return LineResult::kLine;
  }
}

Status BufferedReader::read_exact(std::span<char> out) {
  const std::size_t buffered = std::min(out.size(), end_ - begin_);
  std::memcpy(out.data(), buffer_.data() + begin_, buffered);
  begin_ += buffered;
  out = out.subspan(buffered);
  // Large bodies go straight into the caller's memory, not through the buffer.
  while (!out.empty()) {
    if (eof_) return Error{"end of stream inside the body"};
    auto n = read_source(out);
    if (!n) return n.status();
    if (n.value() == 0) {
      eof_ = true;
      continue;
    }
    out = out.subspan(n.value());
  }
  return Status::Ok();
}

}  // namespace sv::host
