// ZstdByteSink: ZSTD_e_continue while data arrives, ZSTD_e_end once to close the frame; both
// loop until the context reports nothing left to flush for that step.
#include "scanfile/ZstdByteSink.h"

#include "scanfile/FileByteSink.h"

ZstdByteSink::ZstdByteSink(std::FILE* stream)
    : stream(stream)
    , outputCapacity(ZSTD_CStreamOutSize())
    , context(ZSTD_createCCtx())
{
    output.reset(new char[outputCapacity]);
    if (!context)
        fail("cannot start the zstd compressor: out of memory");
    else {
        ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
        // A checksum per frame, as gzip has one per member: a damaged byte is then found on reading
        // even where it still decodes.
        ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    }
}

ZstdByteSink::~ZstdByteSink() { ZSTD_freeCCtx(context); }

bool ZstdByteSink::compress(ZSTD_inBuffer& input, ZSTD_EndDirective directive)
{
    while (true) {
        ZSTD_outBuffer out { output.get(), outputCapacity, 0 };
        size_t remaining = ZSTD_compressStream2(context, &out, &input, directive);
        if (ZSTD_isError(remaining))
            return fail(std::string("the zstd compressor failed: ") + ZSTD_getErrorName(remaining));
        if (!put(stream, output.get(), out.pos))
            return false;
        if (directive == ZSTD_e_end ? remaining == 0 : input.pos == input.size)
            return true;
    }
}

bool ZstdByteSink::write(const char* bytes, size_t count)
{
    if (!context || !error().empty())
        return false;
    ZSTD_inBuffer input { bytes, count, 0 };
    return compress(input, ZSTD_e_continue);
}

bool ZstdByteSink::finish()
{
    if (!context || !error().empty())
        return false;
    ZSTD_inBuffer input { nullptr, 0, 0 };
    if (!compress(input, ZSTD_e_end))
        return false;
    FileByteSink flusher(stream);
    return flusher.finish() || fail(flusher.error());
}
