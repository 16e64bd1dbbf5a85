// runCommand: runs a shell command line (tests drive xdotool, xwd and the like with it) and returns
// its standard output without the trailing line break.
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

inline std::string runCommand(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

} // namespace testsupport
