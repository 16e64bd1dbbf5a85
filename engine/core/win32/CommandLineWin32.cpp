// Arguments from GetCommandLineW, split by CommandLineToArgvW (the same quoting rules as the C
// runtime's argv) and converted losslessly, unpaired surrogates included, so that every name the
// shell can pass arrives intact. Falls back to argv when the system cannot split the line.
#include "engine/core/CommandLine.h"

#include "engine/core/win32/WideText.h"

#include <windows.h>
#include <shellapi.h>

namespace orvex {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
    std::vector<std::string> arguments;
    arguments.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        arguments.push_back(fromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

} // namespace orvex
