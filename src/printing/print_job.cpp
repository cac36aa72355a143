// PLACEHOLDER until the print job lands.
#include "printing/print_job.h"

namespace sv::printing {

Result<PrintReply> run_print_job(PrintRequest, Spooler&) { return Error{"not implemented"}; }

}  // namespace sv::printing
