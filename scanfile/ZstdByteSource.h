// ZstdByteSource: decompresses Zstandard data read from another source with
// ZSTD_decompressStream; consecutive frames read as one stream. Fails on truncated or corrupt
// data and on output that looks like a bomb (DecompressionGuard).
#pragma once

#include "scanfile/ByteSource.h"
#include "scanfile/DecompressionGuard.h"

#include <memory>
#include <zstd.h>

class ZstdByteSource final : public ByteSource {
public:
    explicit ZstdByteSource(orvex::UniquePtr<ByteSource> compressed);
    ~ZstdByteSource() override;
    ZstdByteSource(const ZstdByteSource&) = delete;
    ZstdByteSource& operator=(const ZstdByteSource&) = delete;

    size_t read(char* buffer, size_t capacity) override;

private:
    orvex::UniquePtr<ByteSource> compressed;
    std::unique_ptr<char[]> inputBuffer;
    ZSTD_DCtx* context;
    ZSTD_inBuffer input { nullptr, 0, 0 };
    bool frameOpen = false; // the last call left a frame unfinished
    size_t nextStep = 5;    // the input the decompressor's next step takes (its hint; 5 at a frame's start)
    bool inputDone = false;
    uint64_t totalRead = 0; // compressed bytes read from the source
    DecompressionGuard guard;
};
