// GzipByteSink: deflate until zlib has taken all input (Z_NO_FLUSH) or written its trailer
// (Z_FINISH), handing each filled output buffer to stdio.
#include "scanfile/GzipByteSink.h"

#include "scanfile/FileByteSink.h"

#include <algorithm>
#include <climits>

namespace {
constexpr size_t outputCapacity = 256 * 1024;
}

GzipByteSink::GzipByteSink(std::FILE* stream)
    : stream(stream)
    , output(new unsigned char[outputCapacity])
{
    if (deflateInit2(&zstream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        fail("cannot start the gzip compressor: out of memory");
    else
        initialized = true;
}

GzipByteSink::~GzipByteSink()
{
    if (initialized)
        deflateEnd(&zstream);
}

bool GzipByteSink::deflateAll(int flush)
{
    while (true) {
        zstream.next_out = output.get();
        zstream.avail_out = uInt(outputCapacity);
        int result = deflate(&zstream, flush);
        if (result == Z_STREAM_ERROR)
            return fail("the gzip compressor failed");
        if (!put(stream, output.get(), outputCapacity - zstream.avail_out))
            return false;
        if (flush == Z_FINISH ? result == Z_STREAM_END : zstream.avail_in == 0 && zstream.avail_out != 0)
            return true;
    }
}

bool GzipByteSink::write(const char* bytes, size_t count)
{
    if (!initialized || !error().empty())
        return false;
    while (count > 0) {
        uInt piece = uInt(std::min<size_t>(count, UINT_MAX));
        zstream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
        zstream.avail_in = piece;
        if (!deflateAll(Z_NO_FLUSH))
            return false;
        bytes += piece;
        count -= piece;
    }
    return true;
}

bool GzipByteSink::finish()
{
    if (!initialized || !error().empty())
        return false;
    zstream.next_in = nullptr;
    zstream.avail_in = 0;
    if (!deflateAll(Z_FINISH))
        return false;
    FileByteSink flusher(stream);
    return flusher.finish() || fail(flusher.error());
}
