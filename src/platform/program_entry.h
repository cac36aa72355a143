// The program's entry seam: each system's file defines the C++ entry point (main, or wmain on
// Windows so that arguments outside the ANSI code page survive), turns the arguments into
// UTF-8 and calls program_main. These files belong to the executable only, so test and
// benchmark programs keep their own main.
#pragma once

#include <string>
#include <vector>

namespace sv::platform {

// Defined by the executable. `args` are the command-line arguments after the program name,
// as UTF-8; the result is the process exit code.
int program_main(std::vector<std::string> args);

}  // namespace sv::platform
