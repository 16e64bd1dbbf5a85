// ScanFileReader: reads a JSON scan export (major version 1, as written by ScanFileWriter and by
// other disk-usage tools) back into a size tree. It streams: memory beyond the tree is a fixed
// buffer, scratch strings and one stack entry per open directory, so exports of any size and
// depth read without recursion. The tree is built, and the ScanListener told, exactly as
// FileSizeMapper's walk does, so anything that follows a scan can follow an import.
// Runs on any one thread; the listener is called on that thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "scan/FileSizeMapper.h"
#include "scan/FilesystemNode.h"

#include <cstdint>
#include <functional>
#include <string>

class ByteSource;
class ScanListener;
class TreeFolding;

// What the export says about the program that wrote it.
struct ScanFileMetadata {
    std::string programName;    // "progname", empty when absent
    std::string programVersion; // "progver", empty when absent
    bool hasTimestamp = false;
    uint64_t timestamp = 0;     // "timestamp": seconds since 1970, when hasTimestamp
};

class ScanFileReader {
public:
    // `listener` (not owned) may be null. `cancelled` is polled every few thousand entries; when
    // it answers true the read stops with a null tree and no failure.
    explicit ScanFileReader(ScanListener* listener = nullptr, std::function<bool()> cancelled = {});

    // Reads the whole export from `source`. Null when it failed (failure() says where and why) or
    // was cancelled. Entries marked "notreg" or "excluded" are left out, with everything below
    // them: only regular files and directories count, as in a scan. After a failure or a cancel
    // the listener has heard part of the walk but not the root's directoryLeft, as after a
    // cancelled scan.
    orvex::UniquePtr<FilesystemNode> read(ByteSource& source);
    // Not owned; may stay null (every entry kept). Told of the tree as it is built, so that it
    // folds what can never be drawn.
    void setFolding(TreeFolding* folds) { folding = folds; }

    // What a failed or cancelled read had built (null after a successful one), for a caller
    // whose other threads may still look at those nodes and which destroys them when it is safe.
    orvex::UniquePtr<FilesystemNode> takePartial() { return std::move(partialTree); }

    // "at byte N: reason" (N in the decompressed data) after a failed read; else empty.
    const std::string& failure() const { return failureText; }
    bool wasCancelled() const { return cancelledRead; }
    const ScanFileMetadata& metadata() const { return meta; }
    // The root's name: the path that was scanned.
    const std::string& rootPath() const { return root; }
    // Directories marked "read_error" count as unlisted and files marked so as unreadable (both
    // listed in unlistedNodes; firstError stays 0), and `saturated` says whether some total
    // stopped at 2^64 - 1.
    const ScanProblems& problems() const { return scanProblems; }

private:
    struct Info;
    class Parser;

    ScanListener* listener;
    std::function<bool()> cancelled;
    TreeFolding* folding = nullptr;
    orvex::UniquePtr<FilesystemNode> partialTree;
    std::string failureText;
    bool cancelledRead = false;
    ScanFileMetadata meta;
    std::string root;
    ScanProblems scanProblems;
};
