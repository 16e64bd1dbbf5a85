#include "scanfile/ReadableFile.h"

#include "engine/core/StandardStreams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace readable_file {

int open(const std::string& path, std::string& error)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        error = "cannot open " + path + ": " + std::strerror(errno);
    return descriptor;
}

long read(int descriptor, char* buffer, size_t capacity, std::string& error)
{
    while (true) {
        const ssize_t got = ::read(descriptor, buffer, capacity);
        if (got >= 0)
            return long(got);
        if (errno != EINTR) {
            error = std::strerror(errno);
            return -1;
        }
    }
}

void close(int descriptor) { ::close(descriptor); }

int openStandardInput(std::string& error)
{
    // Descriptor 0 then holds /dev/null (openStandardStreams), which would read as an empty file.
    if (orvex::standardStreamWasClosed(orvex::StandardStream::STANDARD_INPUT)) {
        error = closedStandardInput;
        return -1;
    }
    const int descriptor = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0)
        error = std::string("cannot open standard input: ") + std::strerror(errno);
    return descriptor;
}

bool isRegularFile(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace readable_file
