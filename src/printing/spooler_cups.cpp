// PLACEHOLDER until the spooler lands: no printers, every job refused.
#include "printing/spooler.h"

namespace sv::printing {
namespace {
class NoSpooler final : public Spooler {
 public:
  Status submit_raw_job(const std::string&, std::string_view) override {
    return Error{"not implemented"};
  }
  Result<std::vector<PrinterInfo>> enumerate_printers() override {
    return std::vector<PrinterInfo>{};
  }
};
}  // namespace

Spooler& system_spooler() {
  static NoSpooler spooler;
  return spooler;
}

}  // namespace sv::printing
