#include "host/head_reader.h"

#include <string>

#include "text/utf8.h"

namespace sv::host {

bool read_request_head(BufferedReader& reader, RequestHead& head) {
  using LineResult = BufferedReader::LineResult;
  std::string line;
  std::size_t budget = kMaxHeadBytes;
  LineResult r = reader.read_line(line, budget);
  if (r != LineResult::kLine || !text::is_valid_utf8(line)) return false;
  budget -= line.size();
  apply_request_line(head, line);

  for (std::size_t count = 0;; ++count) {
    r = reader.read_line(line, budget);
    if (r == LineResult::kEnd) return true;  // the headers so far count
    if (r != LineResult::kLine || !text::is_valid_utf8(line)) return false;
    budget -= line.size();
    const std::string_view content = strip_line_end(line);
    if (content.empty()) return true;
    if (count == kMaxHeaderLines) return false;
    apply_header_line(head, content);
  }
}

}  // namespace sv::host
