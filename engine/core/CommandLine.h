// CommandLine: the program's arguments as UTF-8. On Linux they are argv's bytes as they came; on
// Windows argv holds them in the ANSI code page, which loses every character outside it, so they
// are read again from the UTF-16 command line. Call from main with its own argc and argv.
#pragma once

#include <string>
#include <vector>

namespace orvex {

std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace orvex
