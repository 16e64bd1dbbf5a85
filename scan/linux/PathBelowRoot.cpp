// Entries below a scan root reached one name at a time with openat and O_NOFOLLOW (see
// OpenBelowRoot.h): a kernel lookup never follows a link there, whatever happens meanwhile.
#include "scan/PathBelowRoot.h"
#include "scan/linux/OpenBelowRoot.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether `name` in the folder `at` is a symbolic link (not followed).
bool isLink(int at, const std::string& name)
{
    struct stat status;
    return fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

// The folder the walk starts from: the scan root as given, or for an empty one the path's own
// start (the file system's root or the working folder).
int openRoot(const std::string& path, size_t rootLength)
{
    const std::string root = path.substr(0, rootLength);
    const char* start = !root.empty() ? root.c_str() : path[0] == '/' ? "/" : ".";
    return open(start, O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

int openBelowRoot(const std::string& path, size_t rootLength, int flags, size_t& linkEnd)
{
    linkEnd = 0;
    if (rootLength >= path.size())
        return open(path.c_str(), flags | O_CLOEXEC);
    int at = openRoot(path, rootLength);
    size_t start = rootLength;
    while (at >= 0) {
        while (start < path.size() && path[start] == '/')
            start += 1;
        const size_t end = std::min(path.find('/', start), path.size());
        size_t next = end;
        while (next < path.size() && path[next] == '/')
            next += 1;
        const bool last = next >= path.size();
        const std::string name = path.substr(start, end - start);
        const int opened = name.empty() ? dup(at) // the root alone, written with a trailing '/'
            : openat(at, name.c_str(), (last ? flags : O_PATH | O_DIRECTORY) | O_NOFOLLOW | O_CLOEXEC);
        const int cause = errno;
        if (opened < 0 && !name.empty() && isLink(at, name))
            linkEnd = end;
        close(at);
        errno = linkEnd ? ELOOP : cause;
        if (last || opened < 0)
            return opened;
        at = opened;
        start = end;
    }
    return -1;
}

size_t linkBelowRoot(std::string_view path, size_t rootLength)
{
    const std::string bytes(path);
    if (bytes.empty() || bytes.find('\0') != std::string::npos)
        return 0;
    size_t linkEnd = 0;
    const int fd = openBelowRoot(bytes, rootLength, O_PATH, linkEnd);
    if (fd < 0)
        return linkEnd;
    struct stat status;
    const bool finalLink = fstat(fd, &status) == 0 && S_ISLNK(status.st_mode); // only below the root
    close(fd);
    // A trailing '/' belongs to no name; the link's own name ends before it.
    size_t end = bytes.size();
    while (end > rootLength + 1 && bytes[end - 1] == '/')
        end -= 1;
    return finalLink ? end : 0;
}
