// ScanSink: takes a scan's entries as the walk finds them, for a scan that keeps no tree (a streaming
// export of a disk too large to hold in memory). Every call runs on the scanner's worker in walk
// order, which is the order of the tree the scan would otherwise build: pre-order, each
// directory's entries in listing order. A false return stops the scan; the sink knows why.
#pragma once

#include <cstdint>
#include <string_view>

class ScanSink {
public:
    virtual ~ScanSink() = default;

    // A directory is about to be walked: the scan's root first (named by the path as given), then
    // each subdirectory, its entries and its directoryLeft following. `unlisted` when it could not
    // be listed completely. The name is valid during the call only.
    virtual bool directoryEntered(std::string_view name, bool unlisted) = 0;
    // A file of the directory entered last and not yet left (or, for a scan of a single file, the
    // file itself, before any directory). `unreadable` when its size could not be read; `size` is
    // 0 then.
    virtual bool fileFound(std::string_view name, uint64_t size, bool unreadable) = 0;
    // The innermost open directory is complete; `size` is its total (saturated). Not called for a
    // directory whose walk was cancelled or stopped.
    virtual bool directoryLeft(uint64_t size) = 0;
};
