// Arguments on POSIX systems are bytes already: names that are not UTF-8 pass through unchanged.
#include "engine/core/CommandLine.h"

namespace orvex {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

} // namespace orvex
