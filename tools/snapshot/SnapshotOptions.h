// SnapshotOptions: the command line of velbrin-snapshot, parsed without touching the file system
// or GL, so that every argument error is found before any work starts.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct SnapshotOptions {
    std::string directory;          // what to scan: a directory or a single file (the first of `paths`)
    std::vector<std::string> paths; // every path given, in order: several are drawn under a summary
    std::string output;             // the PNG to write
    int width = 1280;               // picture size in pixels
    int height = 800;
    bool wholeTree = true;          // no --view: show [0, total size]
    double viewStart = 0.0;         // --view START:END, in bytes
    double viewEnd = 0.0;
    int rows = 8;                   // rows below the root that fill the chart's height
    bool sortNames = false;         // --sorted: each directory's entries in byte order of their names
};

extern const char* const SNAPSHOT_USAGE;

// The options, or nothing with the reason in `error`. `helpRequested` is set for -h / --help
// (then the result is empty and `error` too).
std::optional<SnapshotOptions> parseSnapshotOptions(int argc, const char* const* argv, std::string& error,
                                                    bool& helpRequested);
