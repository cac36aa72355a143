// The compact replies of health, list_printers and print_sheet.
#include "printing/api_json.h"
#include "printing/json_text.h"

namespace sv::printing {

std::string encode_health(std::size_t printers) {
  return "{\"ok\":true,\"printers\":" + std::to_string(printers) + "}";
}

std::string encode_printer_list(const std::vector<PrinterInfo>& printers) {
  std::string out = "[";
  for (const PrinterInfo& p : printers) {
    if (out.size() > 1) out += ',';
    out += "{\"name\":";
    append_json_string(out, p.name);
    out += ",\"is_default\":";
    out += json_boolean(p.is_default);
    out += ",\"is_zeko\":";
    out += json_boolean(p.is_zeko);
    out += ",\"port\":";
    append_json_string(out, p.port);
    out += ",\"driver\":";
    append_json_string(out, p.driver);
    out += '}';
  }
  out += ']';
  return out;
}

std::string encode_print_reply(const PrintReply& reply) {
  std::string out = "{\"bytes\":" + std::to_string(reply.bytes) +
                    ",\"elapsed_ms\":" + std::to_string(reply.elapsed_ms) + ",\"printer\":";
  append_json_string(out, reply.printer);
  out += '}';
  return out;
}

}  // namespace sv::printing
