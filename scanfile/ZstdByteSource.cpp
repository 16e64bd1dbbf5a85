// ZstdByteSource: one decompression context; ZSTD_decompressStream returns 0 exactly when a frame
// is complete and flushed, which tells a clean end from a truncated one.
#include "scanfile/ZstdByteSource.h"

#include <algorithm>

namespace {
// A frame's magic number and its header's first byte, which tells the rest of the header's size.
constexpr size_t frameStart = 5;
const size_t inputCapacity = ZSTD_DStreamInSize() > 256 * 1024 ? ZSTD_DStreamInSize() : 256 * 1024;
}

ZstdByteSource::ZstdByteSource(orvex::UniquePtr<ByteSource> compressed)
    : compressed(std::move(compressed))
    , inputBuffer(new char[inputCapacity])
    , context(ZSTD_createDCtx())
{
    if (!context)
        fail("cannot start the zstd decompressor: out of memory");
}

ZstdByteSource::~ZstdByteSource() { ZSTD_freeDCtx(context); }

size_t ZstdByteSource::read(char* buffer, size_t capacity)
{
    if (!context || !error().empty() || capacity == 0)
        return 0;
    ZSTD_outBuffer output { buffer, capacity, 0 };
    while (output.pos == 0) {
        if (input.pos == input.size) {
            size_t got = inputDone ? 0 : compressed->read(inputBuffer.get(), inputCapacity);
            if (got == 0) {
                inputDone = true;
                if (!compressed->error().empty())
                    return fail(compressed->error());
                if (frameOpen) {
                    // The decompressor may still hold output for which it needed no new input.
                    size_t hint = ZSTD_decompressStream(context, &output, &input);
                    if (!ZSTD_isError(hint) && output.pos > 0) {
                        frameOpen = hint != 0;
                        break;
                    }
                    return fail("the zstd data is truncated");
                }
                return 0;
            }
            input = { inputBuffer.get(), got, 0 };
            totalRead += got;
        }
        // At most one step of the frame a call (a block, or the checksum): a call that fails
        // reports no output, so the last block's bytes must come out before the checksum is
        // checked for its failure to be placed at the end of the data.
        ZSTD_inBuffer step { input.src, std::min(input.size, input.pos + nextStep), input.pos };
        size_t hint = ZSTD_decompressStream(context, &output, &step);
        input.pos = step.pos;
        nextStep = hint == 0 || ZSTD_isError(hint) ? frameStart : hint;
        if (ZSTD_isError(hint)) {
            // As for gzip: what came out before the damage is still handed out.
            fail(std::string("the zstd data is corrupt: ") + ZSTD_getErrorName(hint));
            break;
        }
        frameOpen = hint != 0;
    }
    guard.produced += output.pos;
    // Only what the decompressor has taken counts: a whole input block is read ahead of it.
    guard.consumed = totalRead - (input.size - input.pos);
    if (guard.exceeded())
        return fail(guard.message("the zstd"));
    return output.pos;
}
