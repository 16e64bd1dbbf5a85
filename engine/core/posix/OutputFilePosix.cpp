// OutputFile on POSIX: the temporary file comes from mkostemp (mode 0600, close-on-exec) and is
// written through a fopencookie stream, so that the errno of a failed write is kept: stdio itself
// only sets its error flag. Relies on glibc's fopencookie and, for the umask, Linux's /proc.
#include "engine/core/OutputFile.h"

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

std::string systemText(int error)
{
    return std::strerror(error);
}

const char* kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "of an unknown kind";
}

// The mode bits a newly created file gets are 0666 less these.
mode_t currentUmask()
{
    // /proc shows the mask without changing it; umask() can only be read by setting it, which
    // races with other threads that create files at the same moment.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &value) == 1;
        std::fclose(status);
        if (found)
            return mode_t(value);
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Where a write of `path` ends up.
struct Destination {
    std::string file;   // the file to create or replace: `path`, or what its symbolic link names
    std::string folder; // the folder holding `file`
    std::string name;   // the last component of `file`
};

// The folder holding `file`: "." for a bare name, "/" for a name directly below the root.
std::string folderOf(const std::string& file)
{
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
}

// Follows the chain of symbolic links that `path` starts with to the file it finally names; the
// folders on the way are left to the kernel. Like the kernel with protected symbolic links, it
// refuses a link that another user placed in a shared sticky folder such as /tmp: following it
// would let that user choose which file is replaced, e.g. a system file when run as root.
bool followLinks(const std::string& path, std::string& file, const std::string& cannotWrite, std::string& error)
{
    file = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link {};
        if (lstat(file.c_str(), &link) != 0) {
            error = cannotWrite + (errno == ENOENT ? "it is a symbolic link to a missing file" : systemText(errno));
            return false;
        }
        if (!S_ISLNK(link.st_mode))
            return true;
        const std::string folder = folderOf(file);
        struct stat holder {};
        if (stat(folder.c_str(), &holder) != 0) {
            error = cannotWrite + systemText(errno);
            return false;
        }
        const bool shared = (holder.st_mode & S_ISVTX) && (holder.st_mode & S_IWOTH);
        if (shared && link.st_uid != geteuid() && link.st_uid != holder.st_uid) {
            error = cannotWrite + "it is a symbolic link that another user placed in the shared folder " + folder;
            return false;
        }
        std::string target(size_t(link.st_size > 0 ? link.st_size : 4096) + 1, '\0');
        const ssize_t length = readlink(file.c_str(), target.data(), target.size());
        if (length < 0 || size_t(length) >= target.size()) {
            error = cannotWrite + systemText(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        target.resize(size_t(length));
        if (target.empty()) {
            error = cannotWrite + "it is a symbolic link to a missing file";
            return false;
        }
        file = target.front() == '/' ? target : (folder == "/" ? "" : folder) + "/" + target;
    }
    error = cannotWrite + systemText(ELOOP);
    return false;
}

bool locate(const std::string& path, Destination& out, std::string& error)
{
    if (path.empty()) {
        error = "cannot write a file with an empty name";
        return false;
    }
    const std::string cannotWrite = "cannot write " + path + ": ";
    // The link stays; the file it finally names is the one replaced.
    std::string file = path;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && !followLinks(path, file, cannotWrite, error))
        return false;
    const bool exists = lstat(file.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        error = cannotWrite + systemText(errno);
        return false;
    }
    if (exists && S_ISDIR(info.st_mode)) {
        error = cannotWrite + "it is a directory";
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        error = cannotWrite + "it is not a regular file but " + kindOf(info.st_mode);
        return false;
    }
    // Replacing a file we may not write would defeat its permissions.
    if (exists && access(file.c_str(), W_OK) != 0) {
        error = cannotWrite + systemText(errno);
        return false;
    }
    const size_t slash = file.rfind('/');
    out.folder = folderOf(file);
    out.name = slash == std::string::npos ? file : file.substr(slash + 1);
    out.file = file;
    if (out.name.empty()) {
        error = cannotWrite + "it names a folder, not a file";
        return false;
    }
    // The new file is created in the folder and renamed there, so the folder must allow both.
    if (access(out.folder.c_str(), W_OK | X_OK) != 0) {
        error = (exists ? cannotWrite + "cannot create files in " + out.folder + ": " : "cannot create " + path + ": ") +
                systemText(errno);
        return false;
    }
    return true;
}

} // namespace

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::checkWritable(const std::string& path, std::string& error)
{
    Destination destination;
    return locate(path, destination, error);
}

bool OutputFile::open(const std::string& path, std::string& error)
{
    assert(!file && temporary.empty() && "OutputFile::open: call it once per OutputFile");
    Destination destination;
    if (!locate(path, destination, error))
        return false;
    // A very long name is shortened so that the temporary name still fits the name limit.
    std::string pattern = (destination.folder == "/" ? "" : destination.folder) + "/." +
                          destination.name.substr(0, 200) + ".XXXXXX";
    const int descriptor = mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0) {
        error = "cannot create a temporary file beside " + destination.file + ": " + systemText(errno);
        return false;
    }
    temporary = pattern;
    sink = Sink { descriptor, 0 };
    cookie_io_functions_t functions {};
    functions.write = [](void* cookie, const char* data, size_t size) -> ssize_t {
        Sink& sink = *static_cast<Sink*>(cookie);
        // After one failure the file is lost anyway; writing more would only leave a hole.
        if (sink.firstError != 0)
            return 0;
        size_t done = 0;
        while (done < size) {
            const ssize_t written = ::write(sink.descriptor, data + done, size - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                sink.firstError = written < 0 ? errno : EIO;
                return 0; // stdio sets the stream's error flag
            }
            done += size_t(written);
        }
        return ssize_t(done);
    };
    file = fopencookie(&sink, "w", functions);
    if (!file) {
        error = "cannot write " + path + ": " + systemText(errno);
        discard();
        return false;
    }
    shownPath = path;
    target = destination.file;
    return true;
}

std::string OutputFile::writeFailure() const
{
    return sink.firstError != 0 ? systemText(sink.firstError) : std::string();
}

bool OutputFile::commit(std::string& error)
{
    assert(file && "OutputFile::commit: open() the file first, and commit it once");
    const std::string cannotWrite = "cannot write " + shownPath + ": ";
    auto fail = [&](int code) {
        error = cannotWrite + systemText(code);
        discard();
        return false;
    };
    if (std::fflush(file) != 0 || std::ferror(file) || sink.firstError != 0)
        return fail(sink.firstError != 0 ? sink.firstError : errno != 0 ? errno : EIO);
    // The stream has no close function of its own: this frees it and leaves the descriptor open.
    const bool streamClosed = std::fclose(file) == 0;
    file = nullptr;
    if (!streamClosed)
        return fail(sink.firstError != 0 ? sink.firstError : EIO);

    mode_t mode = 0666 & ~currentUmask();
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            error = cannotWrite + "it is no longer a regular file";
            discard();
            return false;
        }
        mode = info.st_mode & 07777;
        // Owner and group are kept where we may set them (as root, or a group we belong to);
        // otherwise the new file is ours, as a copy would be. Before fchmod: fchown clears set-id bits.
        if (fchown(sink.descriptor, info.st_uid, info.st_gid) != 0 && errno != EPERM)
            return fail(errno);
    } else if (errno != ENOENT) {
        return fail(errno);
    }
    if (fchmod(sink.descriptor, mode) != 0 || fsync(sink.descriptor) != 0)
        return fail(errno);
    const int descriptor = sink.descriptor;
    sink.descriptor = -1;
    // close can report a delayed write error (network file systems).
    if (::close(descriptor) != 0)
        return fail(errno);
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
        return fail(errno);
    temporary.clear();
    return true;
}

void OutputFile::discard()
{
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
    if (sink.descriptor >= 0) {
        ::close(sink.descriptor);
        sink.descriptor = -1;
    }
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
        temporary.clear();
    }
}

} // namespace orvex
