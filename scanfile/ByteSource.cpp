// openScanFile, looksLikeScanFile and isScanFile: the compression is told by magic numbers, not by
// the file's name, so a renamed or piped export still opens.
#include "scanfile/ByteSource.h"

#include "scanfile/FileByteSource.h"
#include "scanfile/GzipByteSource.h"
#include "scanfile/ReadableFile.h"
#if VELBRIN_HAVE_ZSTD
#include "scanfile/ZstdByteSource.h"
#endif

#include <cstring>

namespace {

const char gzipMagic[] = "\x1f\x8b";
const char zstdMagic[] = "\x28\xb5\x2f\xfd";

bool startsWith(const std::string& bytes, const char* magic) { return bytes.compare(0, std::strlen(magic), magic) == 0; }

// Whether `path` ends in `suffix`, ASCII letters in any case.
bool endsWithNoCase(const std::string& path, const char* suffix)
{
    const size_t length = std::strlen(suffix);
    if (path.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = path[path.size() - length + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

} // namespace

orvex::UniquePtr<ByteSource> openScanFile(const std::string& path, std::string& error)
{
    orvex::UniquePtr<FileByteSource> file = FileByteSource::open(path, error);
    if (!file)
        return nullptr;
    const std::string& magic = file->peek(4);
    if (startsWith(magic, gzipMagic))
        return orvex::UniquePtr<ByteSource>(new GzipByteSource(std::move(file)));
    if (startsWith(magic, zstdMagic)) {
#if VELBRIN_HAVE_ZSTD
        return orvex::UniquePtr<ByteSource>(new ZstdByteSource(std::move(file)));
#else
        error = "cannot open " + path + ": it is Zstandard-compressed, which this build cannot read (decompress it first)";
        return nullptr;
#endif
    }
    return file;
}

bool looksLikeScanFile(const std::string& path)
{
    if (!readable_file::isRegularFile(path))
        return false;
    std::string error;
    orvex::UniquePtr<ByteSource> source = openScanFile(path, error);
#if !VELBRIN_HAVE_ZSTD
    // A Zstandard file counts as one, so that opening it says why it cannot be read.
    if (!source)
        return error.find("Zstandard") != std::string::npos;
#endif
    if (!source)
        return false;
    // Enough for any sane amount of leading white space and the first few bytes after it.
    char buffer[4096];
    size_t length = 0;
    while (length < sizeof buffer) {
        size_t got = source->read(buffer + length, sizeof buffer - length);
        if (got == 0)
            break;
        length += got;
    }
    size_t at = 0;
    auto skipSpace = [&] {
        while (at < length && (buffer[at] == ' ' || buffer[at] == '\t' || buffer[at] == '\n' || buffer[at] == '\r'))
            at += 1;
    };
    skipSpace();
    if (at >= length || buffer[at++] != '[')
        return false;
    skipSpace();
    if (at >= length || buffer[at++] != '1')
        return false;
    // "1" must be the whole number: not 10, 1.5 or 1e3.
    skipSpace();
    return at < length && (buffer[at] == ',' || buffer[at] == ']');
}

bool isScanFile(const std::string& path)
{
    if (!readable_file::isRegularFile(path))
        return false;
    for (const char* ending : { ".json", ".json.gz", ".json.zst" })
        if (endsWithNoCase(path, ending))
            return true;
    std::string error;
    orvex::UniquePtr<FileByteSource> file = FileByteSource::open(path, error);
    if (!file)
        return false;
    const std::string& magic = file->peek(4);
    return startsWith(magic, gzipMagic) || startsWith(magic, zstdMagic) || looksLikeScanFile(path);
}
