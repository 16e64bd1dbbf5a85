// ByteSink's shared write helper and the choice of sink by file name.
#include "scanfile/ByteSink.h"

#include "scanfile/FileByteSink.h"
#include "scanfile/GzipByteSink.h"
#if VELBRIN_HAVE_ZSTD
#include "scanfile/ZstdByteSink.h"
#endif

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

#if !VELBRIN_HAVE_ZSTD
// A build without Zstandard refuses to write a file whose name promises it.
class UnavailableSink final : public ByteSink {
public:
    bool write(const char*, size_t) override { return refuse(); }
    bool finish() override { return refuse(); }

private:
    bool refuse() { return fail("Zstandard compression is not available in this build"); }
};
#endif

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
    if (endsWith(path, ".zst")) {
#if VELBRIN_HAVE_ZSTD
        return orvex::UniquePtr<ByteSink>(new ZstdByteSink(stream));
#else
        return orvex::UniquePtr<ByteSink>(new UnavailableSink);
#endif
    }
    return orvex::UniquePtr<ByteSink>(new FileByteSink(stream));
}
