// Moves its last argument to the trash in a process of its own and prints the outcome ("MOVED",
// "REFUSED" or "PARTIAL", then the message on a second line), so that each trash test gets a fresh
// GIO that reads the private HOME and XDG_DATA_HOME it was started with. Before moving, it can
// drop root privileges (--as-nobody), or in a private mount namespace make a folder read-only
// (--read-only FOLDER) or mount a volume with a trash folder on it (--volume FOLDER); what it
// cannot set up it reports as "SKIP: reason". With --below ROOT it moves the path as the program
// moves an item found by a scan of ROOT (no link followed below).
#include "app/desktop/Trash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeFile(const char* path, const std::string& text)
{
    const int descriptor = open(path, O_WRONLY | O_CLOEXEC);
    const bool written = descriptor >= 0 && write(descriptor, text.data(), text.size()) == ssize_t(text.size());
    if (descriptor >= 0)
        close(descriptor);
    return written;
}

// Root ignores permissions; only an unprivileged user sees them.
std::string dropRoot()
{
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        return std::string("cannot drop root privileges to uid 65534: ") + std::strerror(errno);
    return {};
}

// Mount namespace of this process's own, where what it mounts is seen by nobody else. An
// unprivileged user gets the right to mount from a user namespace that maps it to itself.
std::string privateMounts()
{
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid != 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return std::string("no user namespace: ") + std::strerror(errno);
        if (!writeFile("/proc/self/setgroups", "deny") || !writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1")
            || !writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1"))
            return std::string("cannot map the user into its namespace: ") + std::strerror(errno);
    } else if (unshare(CLONE_NEWNS) != 0) {
        return std::string("no private mount namespace: ") + std::strerror(errno);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("no private mounts: ") + std::strerror(errno);
    return {};
}

// Mounts `folder` again over itself, read-only, visible to this process only.
std::string makeReadOnly(const char* folder)
{
    if (std::string problem = privateMounts(); !problem.empty())
        return problem;
    if (mount(folder, folder, nullptr, MS_BIND, nullptr) != 0 || mount(nullptr, folder, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        return std::string("read-only bind mounts are refused: ") + std::strerror(errno);
    return {};
}

// Mounts a fresh volume (tmpfs) on `folder`, visible to this process only, with a trash folder of
// the user's at its top, as a volume trash would be, and a file "file" in it.
std::string mountVolume(const char* folder)
{
    if (std::string problem = privateMounts(); !problem.empty())
        return problem;
    if (mount("velbrin-test", folder, "tmpfs", 0, "mode=0755") != 0)
        return std::string("tmpfs cannot be mounted: ") + std::strerror(errno);
    const std::string top(folder);
    const int file = open((top + "/file").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (mkdir((top + "/.Trash-" + std::to_string(geteuid())).c_str(), 0700) != 0 || file < 0)
        return std::string("the volume cannot be filled: ") + std::strerror(errno);
    close(file);
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    std::string problem;
    if (argc == 3 && std::strcmp(argv[1], "--as-nobody") == 0)
        problem = dropRoot();
    else if (argc == 4 && std::strcmp(argv[1], "--read-only") == 0)
        problem = makeReadOnly(argv[2]);
    else if (argc == 4 && std::strcmp(argv[1], "--volume") == 0)
        problem = mountVolume(argv[2]);
    else if (argc != 2 && !(argc == 4 && std::strcmp(argv[1], "--below") == 0)) {
        std::fputs("usage: trash_probe [--as-nobody | --read-only FOLDER | --volume FOLDER | --below ROOT] PATH\n", stderr);
        return 2;
    }
    if (!problem.empty()) {
        std::printf("SKIP: %s\n", problem.c_str());
        return 0;
    }
    const bool below = std::strcmp(argv[1], "--below") == 0;
    const TrashResult result = below ? moveEntryToTrash({ argv[3], false, 0, std::strlen(argv[2]) }) : moveToTrash(argv[argc - 1]);
    const char* outcome = result.outcome == TrashResult::Outcome::MOVED ? "MOVED"
        : result.outcome == TrashResult::Outcome::REFUSED                ? "REFUSED"
                                                                         : "PARTIAL";
    std::printf("%s\n%s", outcome, result.message.c_str());
    return 0;
}
