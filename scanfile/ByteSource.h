// ByteSource: a forward-only stream of bytes that the scan-file reader parses, and the two entry
// points that open a scan file on disk whatever its compression. Sources report failure as an
// error text beside a zero-byte read, so a caller needs one check per read, not per byte.
#pragma once

#include "engine/core/UniquePtr.h"

#include <cstddef>
#include <string>

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Up to `capacity` bytes into `buffer`; 0 at the end or on failure (then error() says why).
    // The bytes decoded before a failure may come with it: error() is set, the count is not 0,
    // and the next read returns 0.
    virtual size_t read(char* buffer, size_t capacity) = 0;
    // Empty while every read succeeded.
    const std::string& error() const { return failure; }

protected:
    // Records the first failure only: later ones are usually its consequences.
    size_t fail(std::string text)
    {
        if (failure.empty())
            failure = std::move(text);
        return 0;
    }

private:
    std::string failure;
};

// The path that stands for standard input ("-"), read once like any scan file: a pipe works, since
// nothing seeks.
inline constexpr const char* standardInputPath = "-";
// How messages name the file at `path`: "standard input" for "-", else the path.
inline std::string shownScanFileName(const std::string& path)
{
    return path == standardInputPath ? "standard input" : path;
}

// Opens `path` ("-": standard input) and decompresses it as its first bytes say: 1f 8b gzip, 28 b5 2f fd zstd, else the
// bytes as they are. Null with "cannot open PATH: reason" in `error` when it cannot be opened.
orvex::UniquePtr<ByteSource> openScanFile(const std::string& path, std::string& error);

// Whether `path` is a regular file whose (decompressed) content starts, after white space, with
// '[' and the major version 1. Reads at most a few KiB, so it suits a quick check of many files.
bool looksLikeScanFile(const std::string& path);

// Whether the regular file at `path` is to be read as a scan file, and so refused when it is not a
// sound one rather than taken for a plain file: its name ends in .json, .json.gz or .json.zst (any
// case), its content starts with the gzip or Zstandard magic number, or looksLikeScanFile. A
// damaged export then reports its damage however little of it decompresses.
bool isScanFile(const std::string& path);
