// ScanOptions: the command line of velbrin-scan, parsed without touching the file system, so that
// every argument error is found before any work starts.
#pragma once

#include <optional>
#include <string>

struct ScanOptions {
    std::string directory;     // what to scan
    std::string output = "-";  // the export file; "-" is standard output
    bool quiet = false;        // no progress on standard error
    // --whole-tree, left out of the usage: builds the whole tree and writes it after the scan, as
    // the program's own scans do, instead of writing while scanning. Only the benchmark and the
    // tests use it, to check the streaming export against it.
    bool wholeTree = false;
};

extern const char* const SCAN_USAGE;

enum class ScanRequest { RUN, HELP, VERSION };

// The options, or nothing with the reason in `error`. `request` says whether --help or --version
// was asked for instead (then the result is empty and `error` too).
std::optional<ScanOptions> parseScanOptions(int argc, const char* const* argv, std::string& error, ScanRequest& request);
