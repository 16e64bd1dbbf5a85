// Scan files on Windows: the C runtime's descriptors over wide paths (an ANSI path would lose
// names outside the code page), binary mode, not inherited by child processes.
#include "scanfile/ReadableFile.h"

#include "engine/core/StandardStreams.h"

#include "engine/core/win32/WideText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace readable_file {

int open(const std::string& path, std::string& error)
{
    const int descriptor = _wopen(orvex::toWidePath(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (descriptor < 0)
        error = "cannot open " + path + ": " + std::strerror(errno);
    return descriptor;
}

long read(int descriptor, char* buffer, size_t capacity, std::string& error)
{
    const int got = _read(descriptor, buffer, unsigned(std::min<size_t>(capacity, INT_MAX)));
    if (got < 0)
        error = std::strerror(errno);
    return got;
}

void close(int descriptor) { _close(descriptor); }

int openStandardInput(std::string& error)
{
    if (orvex::standardStreamWasClosed(orvex::StandardStream::STANDARD_INPUT)) {
        error = closedStandardInput;
        return -1;
    }
    const int descriptor = _dup(0);
    if (descriptor < 0) {
        error = std::string("cannot open standard input: ") + std::strerror(errno);
        return -1;
    }
    _setmode(descriptor, _O_BINARY);
    return descriptor;
}

bool isRegularFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(orvex::toExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

} // namespace readable_file
