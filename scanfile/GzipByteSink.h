// GzipByteSink: deflates into a gzip file (zlib, level 6, the gzip wrapper), so `gzip -d` and
// the scan-file reader both read it.
#pragma once

#include "scanfile/ByteSink.h"

#include <memory>
#include <zlib.h>

class GzipByteSink final : public ByteSink {
public:
    explicit GzipByteSink(std::FILE* stream);
    ~GzipByteSink() override;
    GzipByteSink(const GzipByteSink&) = delete;
    GzipByteSink& operator=(const GzipByteSink&) = delete;

    bool write(const char* bytes, size_t count) override;
    bool finish() override;

private:
    bool deflateAll(int flush);

    std::FILE* stream;
    std::unique_ptr<unsigned char[]> output;
    z_stream zstream {};
    bool initialized = false;
};
