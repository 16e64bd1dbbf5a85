// DecompressionGuard: the limit both decompressing sources apply against compression bombs. A
// scan export compresses well (about 10 to 30 times), so output that passes 64 MiB while it is
// also more than 1000 times the compressed input read so far is not an honest export.
#pragma once

#include <cstdint>
#include <string>

struct DecompressionGuard {
    static constexpr uint64_t minimumOutput = uint64_t(64) << 20;
    static constexpr uint64_t maximumRatio = 1000;

    uint64_t consumed = 0; // compressed bytes fed to the decompressor
    uint64_t produced = 0; // decompressed bytes handed out

    bool exceeded() const { return produced > minimumOutput && produced > maximumRatio * consumed; }
    std::string message(const char* format) const
    {
        return std::string(format) + " data expands " + std::to_string(produced) + " bytes from " + std::to_string(consumed)
            + " compressed bytes, more than 1000-fold: refused as a probable decompression bomb";
    }
};
