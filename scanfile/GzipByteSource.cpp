// GzipByteSource: zlib's inflate with the gzip wrapper (window bits 16 + 15), reset after each
// member so that a following member continues the stream.
#include "scanfile/GzipByteSource.h"

#include <algorithm>
#include <climits>

namespace {
constexpr size_t inputCapacity = 256 * 1024;
}

GzipByteSource::GzipByteSource(orvex::UniquePtr<ByteSource> compressed)
    : compressed(std::move(compressed))
    , input(new char[inputCapacity])
{
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        fail("cannot start the gzip decompressor: out of memory");
    else
        initialized = true;
}

GzipByteSource::~GzipByteSource()
{
    if (initialized)
        inflateEnd(&stream);
}

bool GzipByteSource::refill()
{
    if (inputDone)
        return false;
    size_t got = compressed->read(input.get(), inputCapacity);
    if (got == 0) {
        inputDone = true;
        if (!compressed->error().empty())
            fail(compressed->error());
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(input.get());
    stream.avail_in = uInt(got);
    totalRead += got;
    return true;
}

size_t GzipByteSource::read(char* buffer, size_t capacity)
{
    if (!initialized || !error().empty() || capacity == 0)
        return 0;
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = uInt(std::min<size_t>(capacity, UINT_MAX));
    const uInt wanted = stream.avail_out;
    while (stream.avail_out == wanted) {
        if (stream.avail_in == 0 && !refill()) {
            if (!error().empty())
                return 0;
            if (memberOpen)
                return fail("the gzip data is truncated");
            return 0;
        }
        if (!memberOpen) {
            // A new member starts here; between members zlib needs a fresh header parse.
            inflateReset(&stream);
            memberOpen = true;
        }
        int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            memberOpen = false;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            // What came out before the damage is still handed out, so that the reader names the
            // offset where the data went bad (the end of the stream, for a wrong checksum).
            fail(std::string("the gzip data is corrupt: ") + (stream.msg ? stream.msg : "inflate failed"));
            break;
        }
    }
    size_t produced = wanted - stream.avail_out;
    guard.produced += produced;
    // Only what inflate has taken counts: a whole input block is read ahead of it.
    guard.consumed = totalRead - stream.avail_in;
    if (guard.exceeded())
        return fail(guard.message("the gzip"));
    return produced;
}
