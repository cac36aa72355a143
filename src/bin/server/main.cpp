// Entry point of the print service: hands the UTF-8 arguments to the service host.
#include "host/startup.h"
#include "platform/program_entry.h"

int sv::platform::program_main(std::vector<std::string> args) {
  return sv::host::run_service(args);
}
