// ByteSink's shared write helper and the choice of sink by file name.
#include "scanfile/ByteSink.h"

#include "scanfile/FileByteSink.h"
#include "scanfile/GzipByteSink.h"
#include "scanfile/ZstdByteSink.h"

#include <cerrno>
#include <cstring>

bool ByteSink::put(std::FILE* stream, const void* bytes, size_t count)
{
    if (count == 0)
        return true;
    errno = 0;
    if (std::fwrite(bytes, 1, count, stream) != count)
        return fail(std::string("cannot write the scan file: ") + (errno ? std::strerror(errno) : "write failed"));
    return true;
}

namespace {
bool endsWith(const std::string& text, const char* ending)
{
    size_t length = std::strlen(ending);
    return text.size() >= length && text.compare(text.size() - length, length, ending) == 0;
}
} // namespace

orvex::UniquePtr<ByteSink> sinkForPath(const std::string& path, std::FILE* stream)
{
    if (endsWith(path, ".gz"))
        return orvex::UniquePtr<ByteSink>(new GzipByteSink(stream));
    if (endsWith(path, ".zst"))
        return orvex::UniquePtr<ByteSink>(new ZstdByteSink(stream));
    return orvex::UniquePtr<ByteSink>(new FileByteSink(stream));
}
