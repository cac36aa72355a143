#include "printing/raw_document.h"

namespace sv::printing {

std::string open_failure_label(std::string_view printer) {
  // A name of any length may arrive; the reply quotes enough of it to recognise.
  constexpr std::size_t kQuotedCharacters = 200;
  std::size_t end = 0;
  for (std::size_t chars = 0; end < printer.size(); ++end) {
    const bool starts_character = (static_cast<unsigned char>(printer[end]) & 0xC0) != 0x80;
    if (starts_character && chars++ == kQuotedCharacters) break;
  }
  std::string label = "打不开打印机「";
  label += printer.substr(0, end);
  label += "」";
  return label;
}

Status write_raw_document(RawDocumentSteps& steps, std::string_view printer,
                          std::string_view stream) {
  if (!steps.open_printer()) return Error{steps.error(open_failure_label(printer))};
  if (!steps.start_document()) {
    Error e{steps.error("StartDocPrinter 失败")};
    steps.close_printer();
    return e;
  }
  if (!steps.start_page()) {
    Error e{steps.error("StartPagePrinter 失败")};
    steps.end_document();
    steps.close_printer();
    return e;
  }
  std::size_t offset = 0;
  while (offset < stream.size()) {
    std::uint32_t written = 0;
    // Streams are bounded by the 16 MiB request limit, far below the 32-bit count.
    const auto rest = static_cast<std::uint32_t>(stream.size() - offset);
    if (!steps.write(stream.data() + offset, rest, written) || written == 0) {
      Error e{steps.error("WritePrinter 失败")};
      steps.end_page();
      steps.end_document();
      steps.close_printer();
      return e;
    }
    offset += written;
  }
  steps.end_page();
  steps.end_document();
  steps.close_printer();
  return Status::Ok();
}

}  // namespace sv::printing
