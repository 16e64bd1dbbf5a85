// ZstdByteSink: compresses into one Zstandard frame (level 3) with ZSTD_compressStream2.
#pragma once

#include "scanfile/ByteSink.h"

#include <memory>
#include <zstd.h>

class ZstdByteSink final : public ByteSink {
public:
    explicit ZstdByteSink(std::FILE* stream);
    ~ZstdByteSink() override;
    ZstdByteSink(const ZstdByteSink&) = delete;
    ZstdByteSink& operator=(const ZstdByteSink&) = delete;

    bool write(const char* bytes, size_t count) override;
    bool finish() override;

private:
    bool compress(ZSTD_inBuffer& input, ZSTD_EndDirective directive);

    std::FILE* stream;
    std::unique_ptr<char[]> output;
    size_t outputCapacity;
    ZSTD_CCtx* context;
};
