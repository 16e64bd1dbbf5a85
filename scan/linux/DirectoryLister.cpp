// The Linux directory lister: directory file descriptors, getdents64 and fstatat relative to the
// directory, so no entry costs a path resolution from the root. ReadAheadQueue's helpers read
// listings ahead of the walk within its budget of buffered bytes and this lister's budget of
// open descriptors.
// Out of descriptors, a directory is never listed empty: reading ahead stops, the walk closes
// descriptors it can reopen later by path (see freeDescriptors) and tries again.
#include "scan/DirectoryLister.h"

#include "scan/ListingTree.h"
#include "scan/ReadAheadQueue.h"
#include "scan/linux/LiveDirectorySet.h"
#include "scan/linux/MountTable.h"
#include "scan/linux/OpenBelowRoot.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <unordered_set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

// The layout of one getdents64 record.
struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

constexpr size_t listingBufferSize = 64 * 1024;
constexpr int maximumReadAheadDescriptors = 128; // descriptors kept for subdirectories not yet opened

using Listing = DirectoryLister::Listing;

// Whether an ancestor is the same directory. Called only when the LiveDirectorySet says another
// listing of it is alive, which is rare.
bool isCycle(const Listing* listing)
{
    for (auto* up = listing->parent; up; up = up->parent) {
        if (up->extra.device == listing->extra.device && up->extra.inode == listing->extra.inode)
            return true;
    }
    return false;
}

// A directory keeps its descriptor until all its subdirectories are opened, so a deep tree that
// branches at every level holds one descriptor per level. Under the usual soft limit of 1024 such a
// tree would run out and list its deepest directories as empty; the hard limit is the real bound.
// Returns how many descriptors reading ahead may hold: an eighth of the limit, at most 128, so the
// walk's own chain of open directories keeps the rest.
int raiseDescriptorLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return maximumReadAheadDescriptors;
    rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? rlim_t(1) << 20 : limit.rlim_max;
    if (wanted > limit.rlim_cur) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return int(std::min<rlim_t>(limit.rlim_cur / 8, maximumReadAheadDescriptors));
}

} // namespace

class DirectoryLister::Impl final : public ReadAheadQueue::Reader {
public:
    Impl(const std::string& rootPath, size_t followedLength, std::vector<DirectoryLister::FileIdentity> leftOut)
        : rootPath(rootPath), leftOut(std::move(leftOut)), followedLength(followedLength), readAheadDescriptors(raiseDescriptorLimit()), rootListing(makeRoot(this->rootPath)),
          queue(std::in_place, *this, *rootListing, listingBufferSize)
    {
    }

    ~Impl()
    {
        queue.reset(); // joins the helpers before the listings go
        destroyListings(std::move(rootListing), [this](Listing& listing) {
            closeDescriptor(listing);
            release(listing);
        });
    }

    Listing* root() { return queue->take(rootListing.get()); }
    Listing* take(Listing* listing) { return queue->take(listing); }

    // The walk is done with the listing and everything below it.
    void release(Listing& listing)
    {
        if (listing.extra.live)
            live.remove(listing.extra.device, listing.extra.inode);
        listing.extra.live = false;
    }

    // Opens and reads one directory. False when the read was deferred (see openDirectory).
    bool read(Listing& listing, char* buffer, bool mayDefer) override
    {
        int fd = openDirectory(listing, mayDefer);
        if (fd == deferred)
            return false;
        if (fd < 0) {
            listing.error = errno; // a directory that cannot be opened is listed as empty
            return true;
        }
        descriptorsOpened.fetch_add(1);
        listing.extra.fd = fd;
        if (walkable(listing, fd))
            readEntries(listing, fd, buffer);
        listing.extra.unopenedChildren.store(listing.subdirectories.size());
        if (listing.subdirectories.empty())
            closeDescriptor(listing);
        return true;
    }

    // Counted apart from the queue's mutex; a slightly stale sum only shifts when reading ahead
    // pauses.
    bool budgetSpent() const override { return descriptorsOpened.load() - descriptorsClosed.load() >= readAheadDescriptors; }

private:
    static std::unique_ptr<Listing> makeRoot(const std::string& path)
    {
        auto root = std::make_unique<Listing>();
        root->name = path;
        return root;
    }

    static constexpr int deferred = -2;
    static bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

    // Opens `listing` relative to its parent's descriptor, or the root by its path.
    int openOne(const Listing& listing)
    {
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        size_t linkEnd = 0;
        if (!listing.parent) // a symbolic link as the root is followed, unless below followedLength
            return openBelowRoot(rootPath, followedLength, flags, linkEnd);
        std::string name(listing.name);
        return openat(listing.parent->extra.fd, name.c_str(), flags | O_NOFOLLOW);
    }

    // The directory's descriptor; -1 with errno when it cannot be opened; `deferred` when `mayDefer`
    // (a helper) and the process is out of descriptors, so the walk can read it later itself. The
    // walk instead frees descriptors and tries again; only the directory's own failure gives -1.
    int openDirectory(Listing& listing, bool mayDefer)
    {
        Listing* parent = listing.parent;
        if (mayDefer && parent && parent->extra.fd < 0)
            return deferred; // only the walk reopens a parent whose descriptor was closed
        int fd = -1;
        if (parent && parent->extra.fd < 0 && !reopen(*parent)) {
            fd = -1; // errno from reopen
        } else {
            while ((fd = openOne(listing)) < 0 && outOfDescriptors(errno)) {
                if (mayDefer)
                    return deferred;
                int cause = errno;
                if (!freeDescriptors(parent)) {
                    errno = cause;
                    break;
                }
            }
        }
        int cause = errno;
        // The last subdirectory to be opened closes its parent's descriptor.
        if (parent && parent->extra.unopenedChildren.fetch_sub(1) == 1)
            closeDescriptor(*parent);
        errno = cause;
        return fd;
    }

    // Walk only, reading ahead stopped: gives `target` a descriptor again after freeDescriptors
    // closed it, opening each directory from the nearest ancestor that still holds one (or the
    // root's path). Each step must find the directory it found before, so a tree changed in the
    // meantime can not send the walk elsewhere. False with errno when a step fails.
    bool reopen(Listing& target)
    {
        std::vector<Listing*> chain; // target first, up to the nearest ancestor holding a descriptor
        for (Listing* step = &target; step && step->extra.fd < 0; step = step->parent)
            chain.push_back(step);
        for (size_t i = chain.size(); i-- > 0;) {
            Listing& step = *chain[i];
            int fd;
            while ((fd = openOne(step)) < 0 && outOfDescriptors(errno)) {
                int cause = errno;
                if (!freeDescriptors(step.parent)) {
                    errno = cause;
                    break;
                }
            }
            struct stat status;
            if (fd >= 0 && (fstat(fd, &status) != 0 || status.st_dev != step.extra.device || status.st_ino != step.extra.inode)) {
                close(fd);
                fd = -1;
                errno = ESTALE; // replaced since it was listed
            }
            if (fd < 0)
                return false;
            descriptorsOpened.fetch_add(1);
            step.extra.fd = fd;
            // A directory passed through whose subdirectories are all open needs no descriptor.
            if (step.parent && i + 1 < chain.size() && step.parent->extra.unopenedChildren.load() == 0)
                closeDescriptor(*step.parent);
        }
        return true;
    }

    // Walk only. Out of descriptors: closes every descriptor held for read-ahead listings and the
    // shallower half of those held on the walk path above `keep` (which stays open). The walk
    // needs its ancestors again deepest first, so the shallowest are the ones needed last. All of
    // them can be reopened by path (reopen). False when nothing could be closed.
    bool freeDescriptors(Listing* keep)
    {
        queue->stopReadingAhead();
        std::unordered_set<const Listing*> onPath;
        std::vector<Listing*> pathHolders; // deepest first
        for (Listing* up = keep; up; up = up->parent) {
            onPath.insert(up);
            if (up != keep && up->extra.fd >= 0)
                pathHolders.push_back(up);
        }
        size_t closed = 0;
        std::vector<Listing*> stack { rootListing.get() };
        while (!stack.empty()) {
            Listing* listing = stack.back();
            stack.pop_back();
            if (listing->state != Listing::State::DONE)
                continue;
            if (listing->extra.fd >= 0 && !onPath.count(listing)) {
                closeDescriptor(*listing);
                closed += 1;
            }
            for (auto& sub : listing->subdirectories)
                stack.push_back(sub.get());
        }
        size_t shallowHalf = (pathHolders.size() + 1) / 2;
        for (size_t i = 0; i < shallowHalf; ++i)
            closeDescriptor(*pathHolders[pathHolders.size() - 1 - i]);
        return closed + shallowHalf > 0;
    }

    void closeDescriptor(Listing& listing)
    {
        if (listing.extra.fd < 0)
            return;
        close(listing.extra.fd);
        listing.extra.fd = -1;
        descriptorsClosed.fetch_add(1);
    }

    // Below the root: no descent into kernel pseudo file systems, whose files' sizes are not disk
    // usage, and none into a directory already open on the walk path (a bind mount of an
    // ancestor), which would never end.
    bool walkable(Listing& listing, int fd)
    {
        struct stat status;
        if (fstat(fd, &status) != 0) {
            listing.error = errno;
            return false;
        }
        listing.extra.device = status.st_dev;
        listing.extra.inode = status.st_ino;
        if (!listing.parent) {
            mark(listing);
            return true;
        }
        if (listing.extra.device != listing.parent->extra.device && mounts.isPseudo(listing.extra.device, fd))
            return false;
        if (mark(listing) && isCycle(&listing))
            return false;
        return true;
    }

    // Counts the listing as alive; true when another listing of the same directory is alive.
    bool mark(Listing& listing)
    {
        listing.extra.live = true;
        return live.add(listing.extra.device, listing.extra.inode);
    }

    void readEntries(Listing& listing, int fd, char* buffer)
    {
        while (true) {
            long got = syscall(SYS_getdents64, fd, buffer, listingBufferSize);
            if (got < 0)
                listing.error = errno; // ends this directory's listing; what was read stays
            if (got <= 0)
                break;
            for (long at = 0; at < got;) {
                auto* record = reinterpret_cast<LinuxDirent64*>(buffer + at);
                at += record->d_reclen;
                addEntry(listing, fd, record);
            }
        }
        listing.addSubdirectories();
    }

    void addEntry(Listing& listing, int fd, const LinuxDirent64* record)
    {
        const char* name = record->d_name;
        size_t length = strlen(name);
        if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.'))
            return;
        bool directory = false;
        uint64_t size = 0;
        unsigned char type = record->d_type;
        if (type == DT_REG || type == DT_UNKNOWN) {
            struct stat status;
            if (fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISREG(status.st_mode) && isLeftOut(status))
                    return;
                if (S_ISREG(status.st_mode))
                    size = uint64_t(status.st_size);
                else if (S_ISDIR(status.st_mode))
                    directory = true;
                else
                    return; // a link, device, socket or FIFO now
            } else if (errno == ENOENT) {
                return; // removed since the listing was read
            } else {
                // Listed, but its size cannot be read: in a directory with read but no search
                // permission every fstatat fails with EACCES. The entry is kept as a file marked
                // unreadable, so the walk reports its missing bytes instead of counting 0. One
                // whose kind the listing did not tell (DT_UNKNOWN) is kept the same way: it may
                // be a link or a device, but dropping it would pass the total off as complete.
                listing.addUnreadable(std::string_view(name, length), errno);
                return;
            }
        } else if (type == DT_DIR) {
            directory = true;
        } else {
            return;
        }
        listing.add(std::string_view(name, length), directory, size);
    }

    // Helpers call it concurrently; `leftOut` never changes after construction.
    bool isLeftOut(const struct stat& status) const
    {
        const DirectoryLister::FileIdentity identity { uint64_t(status.st_dev), uint64_t(status.st_ino) };
        return std::find(leftOut.begin(), leftOut.end(), identity) != leftOut.end();
    }

    std::string rootPath;
    const std::vector<DirectoryLister::FileIdentity> leftOut;
    size_t followedLength;
    MountTable mounts;
    LiveDirectorySet live;
    const int readAheadDescriptors;
    std::atomic<int> descriptorsOpened { 0 };
    std::atomic<int> descriptorsClosed { 0 };
    std::unique_ptr<Listing> rootListing;
    std::optional<ReadAheadQueue> queue; // last: its helpers stop before the members above go
};

void DirectoryLister::lowerCallingThreadPriority()
{
    // On Linux the nice value belongs to the thread; raising it needs no privilege. The lowest
    // one: at 10, a scan on two cores still made frames drawn by a software renderer twice as
    // long. An idle machine runs the scan as fast; a failure leaves the usual priority.
    const pid_t thread = pid_t(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, id_t(thread));
    if (current < 19)
        setpriority(PRIO_PROCESS, id_t(thread), 19);
}

DirectoryLister::DirectoryLister(const std::string& rootPath, size_t followedLength, std::vector<FileIdentity> leftOut)
    : impl(std::make_unique<Impl>(rootPath, followedLength, std::move(leftOut)))
{
}

// Climbs by "..", which from a mount's root leads to the directory it is mounted on; the root is
// its own parent. O_PATH needs no read permission, only the right to pass through.
std::vector<DirectoryLister::FileIdentity> DirectoryLister::lineage(const std::string& path)
{
    std::vector<FileIdentity> chain;
    int fd = path.empty() ? -1 : open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    constexpr size_t deepest = 65536; // a bound, should a file system never reach its root
    while (fd >= 0 && chain.size() < deepest) {
        struct stat status;
        if (fstat(fd, &status) != 0) {
            chain.clear();
            break;
        }
        const FileIdentity identity { uint64_t(status.st_dev), uint64_t(status.st_ino) };
        if (!chain.empty() && chain.back() == identity)
            break;
        chain.push_back(identity);
        const int parent = openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = parent;
    }
    if (fd >= 0)
        close(fd);
    return chain;
}

DirectoryLister::~DirectoryLister() = default;

DirectoryLister::RootKind DirectoryLister::examineRoot(const std::string& path, uint64_t& fileSize, size_t followedLength)
{
    fileSize = 0;
    struct stat status;
    if (path.empty() || path.find('\0') != std::string::npos)
        return RootKind::MISSING;
    size_t linkEnd = 0;
    const int fd = openBelowRoot(path, followedLength, O_PATH, linkEnd);
    const bool examined = fd >= 0 && fstat(fd, &status) == 0;
    if (fd >= 0)
        close(fd);
    if (!examined) // and S_ISLNK below: a link below followedLength is neither directory nor file
        return RootKind::MISSING;
    if (S_ISREG(status.st_mode)) {
        fileSize = uint64_t(status.st_size);
        return RootKind::FILE;
    }
    return S_ISDIR(status.st_mode) ? RootKind::DIRECTORY : RootKind::MISSING;
}

DirectoryLister::Listing* DirectoryLister::root() { return impl->root(); }

DirectoryLister::Listing* DirectoryLister::child(Listing* parent, size_t subdirectory)
{
    assert(subdirectory < parent->subdirectories.size() && "DirectoryLister::child: no such subdirectory in the listing");
    return impl->take(parent->subdirectories[subdirectory].get());
}

void DirectoryLister::release(Listing* listing)
{
    impl->release(*listing);
    // Everything below was walked and released already; nothing else refers to it.
    listing->subdirectories.clear();
    listing->subdirectories.shrink_to_fit();
    listing->entries = {};
    listing->names = {};
}
