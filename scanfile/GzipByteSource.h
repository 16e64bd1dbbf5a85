// GzipByteSource: inflates gzip data (RFC 1952) read from another source with zlib. Members
// written one after another (as `cat a.gz b.gz` makes) read as one stream, as gzip itself
// reads them. Fails on truncated or corrupt data and on output that looks like a bomb
// (DecompressionGuard).
#pragma once

#include "scanfile/ByteSource.h"
#include "scanfile/DecompressionGuard.h"

#include <memory>
#include <zlib.h>

class GzipByteSource final : public ByteSource {
public:
    explicit GzipByteSource(orvex::UniquePtr<ByteSource> compressed);
    ~GzipByteSource() override;
    GzipByteSource(const GzipByteSource&) = delete;
    GzipByteSource& operator=(const GzipByteSource&) = delete;

    size_t read(char* buffer, size_t capacity) override;

private:
    bool refill(); // false at the end of the compressed source (or when it failed)

    orvex::UniquePtr<ByteSource> compressed;
    std::unique_ptr<char[]> input;
    z_stream stream {};
    bool initialized = false;
    bool memberOpen = false; // inside a member: its end has not been seen yet
    bool inputDone = false;
    uint64_t totalRead = 0; // compressed bytes read from the source
    DecompressionGuard guard;
};
