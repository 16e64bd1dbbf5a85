// Trash on Linux: GIO's g_file_trash, which follows the freedesktop.org trash layout (the home
// trash under $XDG_DATA_HOME, per-volume .Trash-UID folders elsewhere) and writes the .trashinfo
// record beside each item. Paths reach GIO as the exact bytes the scanner read. Relies on gio-2.0.
#include "app/desktop/EntryState.h"
#include "app/desktop/Trash.h"

#include "app/desktop/linux/FileManagerBus.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <gio/gio.h>

namespace {

bool onReadOnlyVolume(const std::string& path)
{
    struct statvfs volume;
    return statvfs(parentDirectory(path).c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;
}

// Whether another volume (or another place of the same one) is mounted on `path`: a rename cannot
// move it, whatever trash its volume has. The kernel says so where it can (Linux 5.8 and later);
// elsewhere a device other than its folder's tells.
bool isMountPoint(const std::string& path)
{
    struct statx status;
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &status) != 0)
        return false;
    if (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    struct stat folder;
    return stat(parentDirectory(path).c_str(), &folder) == 0
        && (major(folder.st_dev) != status.stx_dev_major || minor(folder.st_dev) != status.stx_dev_minor);
}

// One sentence for a status line. A local g_file_trash ends in a single rename(), so it either
// moved the whole item or nothing: no GIO error here can leave a folder half moved, and every
// failure is REFUSED.
std::string refusalMessage(const GError& error, const std::string& path)
{
    if (isMountPoint(path))
        return "it is a mount point: a volume mounted there cannot be moved, only unmounted";
    if (error.domain != G_IO_ERROR)
        return error.message;
    switch (error.code) {
    case G_IO_ERROR_NOT_FOUND: {
        // Also what GIO says when a folder the trash needs is missing (a home folder that does not
        // exist): only an item that is really gone is called gone.
        struct stat status;
        if (lstat(path.c_str(), &status) != 0)
            return "it no longer exists";
        return std::string("the trash could not be used (") + error.message + ")";
    }
    case G_IO_ERROR_PERMISSION_DENIED:
        return "you do not have permission to move it";
    case G_IO_ERROR_READ_ONLY:
        return "the volume that holds it is read-only";
    case G_IO_ERROR_NOT_SUPPORTED:
        // GIO says this when it cannot make a trash folder on the item's volume, also when the
        // volume is read-only (or mounted a second time, read-only, at another place), and when
        // it keeps no trash on such a volume at all (a system one, say tmpfs), whatever trash
        // folder is there: its own words name which.
        if (onReadOnlyVolume(path))
            return "the volume that holds it is read-only";
        return std::string("the trash cannot be used on the volume that holds it (") + error.message + ")";
    default:
        return error.message;
    }
}

} // namespace

EntryState entryStateAt(std::string_view path)
{
    const std::string bytes(path);
    struct stat status;
    if (bytes.empty() || bytes.find('\0') != std::string::npos)
        return { EntryState::Kind::MISSING, 0, {} };
    if (lstat(bytes.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return { EntryState::Kind::MISSING, 0, {} };
        return { EntryState::Kind::UNREADABLE, 0, std::strerror(errno) };
    }
    if (S_ISDIR(status.st_mode))
        return { EntryState::Kind::DIRECTORY, 0, {} };
    // The scanner counts a regular file's length and nothing for links, FIFOs, sockets and devices.
    return { EntryState::Kind::OTHER, S_ISREG(status.st_mode) ? uint64_t(status.st_size) : 0, {} };
}

TrashResult moveToTrash(std::string_view path)
{
    const std::string bytes(path);
    if (bytes.empty() || bytes.find('\0') != std::string::npos)
        return { TrashResult::Outcome::REFUSED, "it no longer exists" };
    GFile* file = g_file_new_for_path(bytes.c_str());
    GError* error = nullptr;
    const bool moved = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (moved)
        return { TrashResult::Outcome::MOVED, {} };
    std::string message = error ? refusalMessage(*error, bytes) : "the trash refused it";
    if (error)
        g_error_free(error);
    return { TrashResult::Outcome::REFUSED, std::move(message) };
}
