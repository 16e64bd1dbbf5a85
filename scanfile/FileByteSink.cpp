// FileByteSink: stdio buffers the writes; finish() flushes so that failures show up here.
#include "scanfile/FileByteSink.h"

#include <cerrno>
#include <cstring>

bool FileByteSink::finish()
{
    if (!error().empty())
        return false;
    errno = 0;
    if (std::fflush(stream) != 0)
        return fail(std::string("cannot write the scan file: ") + (errno ? std::strerror(errno) : "flush failed"));
    return true;
}
