// ScanFileWriter: writes a size tree in the JSON export format (major version 1) that other
// disk-usage tools read: a metadata object, then the root directory as an array of its info
// object and its entries. Names are written as their raw bytes with the same escapes those
// tools use, so their readers get back exactly the bytes. Iterative, so any depth fits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ByteSink;
struct FilesystemNode;

class ScanFileWriter {
public:
    // `programVersion` goes into the metadata's "progver", `timestamp` (seconds since 1970) into
    // its "timestamp".
    ScanFileWriter(std::string programVersion, uint64_t timestamp);

    // Writes `root` (its name is the scanned path) and everything below it, then finishes the
    // sink. Files get their size as "asize"; directories get none, since only the sum of their
    // files is known. The nodes in `unreadable` (a scan's ScanProblems::unlistedNodes) are marked
    // "read_error", so that a reader knows the totals above them are short: a directory that
    // could not be listed completely, or a file whose size could not be read, which then gets no
    // "asize" (its size is unknown, not 0). False with the sink's reason in error() when writing
    // failed.
    bool write(const FilesystemNode& root, ByteSink& sink, const std::vector<const FilesystemNode*>& unreadable = {});
    const std::string& error() const { return failure; }

private:
    std::string programVersion;
    uint64_t timestamp;
    std::string failure;
};
