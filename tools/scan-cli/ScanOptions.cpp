#include "tools/scan-cli/ScanOptions.h"

#include <string_view>

const char* const SCAN_USAGE =
    "usage: velbrin-scan DIRECTORY [-o FILE] [-q]\n"
    "  Scans DIRECTORY and writes the scan as a JSON export that velbrin, ncdu and gdu can open.\n"
    "  -o, --output FILE  where to write it: '-' (the default) is standard output; a name ending in\n"
    "                     .gz is gzip-compressed, one ending in .zst Zstandard-compressed\n"
    "  -q, --quiet        no progress on standard error\n"
    "  -h, --help         this text\n"
    "      --version      the program's version\n"
    "  Exit status: 0 written, 1 the directory or FILE failed, 2 bad arguments, 130 interrupted.\n";

std::optional<ScanOptions> parseScanOptions(int argc, const char* const* argv, std::string& error, ScanRequest& request)
{
    ScanOptions options;
    bool haveDirectory = false, haveOutput = false, optionsEnded = false;
    request = ScanRequest::RUN;
    error.clear();
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            if (argument == "--") {
                optionsEnded = true;
            } else if (argument == "-h" || argument == "--help") {
                request = ScanRequest::HELP;
                return std::nullopt;
            } else if (argument == "--version") {
                request = ScanRequest::VERSION;
                return std::nullopt;
            } else if (argument == "-q" || argument == "--quiet") {
                options.quiet = true;
            } else if (argument == "--whole-tree") {
                options.wholeTree = true;
            } else if (argument == "-o" || argument == "--output") {
                if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
                    error = std::string(argument) + " needs a FILE";
                    return std::nullopt;
                }
                if (haveOutput) {
                    error = "only one output FILE may be given";
                    return std::nullopt;
                }
                options.output = argv[++i];
                haveOutput = true;
            } else {
                error = "unknown option " + std::string(argument);
                return std::nullopt;
            }
            continue;
        }
        if (haveDirectory) {
            error = "unexpected argument " + std::string(argument) + ": one DIRECTORY only";
            return std::nullopt;
        }
        if (argument.empty()) {
            error = "DIRECTORY is empty";
            return std::nullopt;
        }
        options.directory = std::string(argument);
        haveDirectory = true;
    }
    if (!haveDirectory) {
        error = "no DIRECTORY given";
        return std::nullopt;
    }
    return options;
}
