// FileByteSource over the platform's descriptors (ReadableFile.h); a failed read ends the stream.
#include "scanfile/FileByteSource.h"

#include "scanfile/ReadableFile.h"

#include <algorithm>
#include <cstring>

FileByteSource::FileByteSource(int descriptor, std::string shownPath)
    : descriptor(descriptor)
    , shownPath(std::move(shownPath))
{
}

FileByteSource::~FileByteSource()
{
    if (descriptor >= 0)
        readable_file::close(descriptor);
}

orvex::UniquePtr<FileByteSource> FileByteSource::open(const std::string& path, std::string& error)
{
    const bool standardInput = path == standardInputPath;
    const int descriptor = standardInput ? readable_file::openStandardInput(error) : readable_file::open(path, error);
    if (descriptor < 0)
        return nullptr;
    return orvex::UniquePtr<FileByteSource>(new FileByteSource(descriptor, shownScanFileName(path)));
}

size_t FileByteSource::readDescriptor(char* buffer, size_t capacity)
{
    std::string reason;
    const long got = readable_file::read(descriptor, buffer, capacity, reason);
    if (got < 0)
        return fail("cannot read " + shownPath + ": " + reason);
    return size_t(got);
}

size_t FileByteSource::read(char* buffer, size_t capacity)
{
    if (pendingOffset < pending.size()) {
        size_t count = std::min(capacity, pending.size() - pendingOffset);
        std::memcpy(buffer, pending.data() + pendingOffset, count);
        pendingOffset += count;
        return count;
    }
    if (!error().empty())
        return 0;
    return readDescriptor(buffer, capacity);
}

const std::string& FileByteSource::peek(size_t count)
{
    pending.erase(0, pendingOffset);
    pendingOffset = 0;
    while (pending.size() < count && error().empty()) {
        char chunk[4096];
        size_t got = readDescriptor(chunk, std::min(count - pending.size(), sizeof chunk));
        if (got == 0)
            break;
        pending.append(chunk, got);
    }
    return pending;
}
