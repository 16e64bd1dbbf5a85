// FileByteSource over POSIX read(); EINTR is retried, any other failure ends the stream.
#include "scanfile/FileByteSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

FileByteSource::FileByteSource(int descriptor, std::string shownPath)
    : descriptor(descriptor)
    , shownPath(std::move(shownPath))
{
}

FileByteSource::~FileByteSource()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

orvex::UniquePtr<FileByteSource> FileByteSource::open(const std::string& path, std::string& error)
{
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return orvex::UniquePtr<FileByteSource>(new FileByteSource(descriptor, path));
}

size_t FileByteSource::readDescriptor(char* buffer, size_t capacity)
{
    while (true) {
        ssize_t got = ::read(descriptor, buffer, capacity);
        if (got >= 0)
            return size_t(got);
        if (errno != EINTR)
            return fail("cannot read " + shownPath + ": " + std::strerror(errno));
    }
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
