#include "printing/strict_json.h"

namespace sv::printing {

namespace {
constexpr std::size_t kMaxQuoted = 40;
}  // namespace

std::string parser_fault(const boost::json::error_code& ec) {
  namespace json = boost::json;
  if (ec == json::error::incomplete) return "unexpected end of input";
  if (ec == json::error::too_deep) return "nesting deeper than 127 levels";
  if (ec == json::error::syntax) return "invalid JSON syntax";
  if (ec == json::error::exponent_overflow) return "number out of range";
  return ec.message();
}

std::string quoted_number(std::string_view text) {
  std::string q = "`";
  q += text.substr(0, kMaxQuoted);
  if (text.size() > kMaxQuoted) q += "...";
  return q + "`";
}

}  // namespace sv::printing
