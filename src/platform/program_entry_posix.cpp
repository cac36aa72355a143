#include "platform/program_entry.h"

#include <utility>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return sv::platform::program_main(std::move(args));
}
