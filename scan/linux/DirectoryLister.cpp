// The Linux directory lister: directory file descriptors, getdents64 and fstatat relative to the
// directory, so no entry costs a path resolution from the root. Helper threads read listings
// ahead of the walk, always the earliest not-yet-read directory in walk order first, within a
// budget of buffered bytes and open descriptors; the walk claims and reads a listing itself
// when no helper has started it, so nothing can wait on an idle helper.
// Out of descriptors, a directory is never listed empty: reading ahead stops, the walk closes
// descriptors it can reopen later by path (see freeDescriptors) and tries again.
#include "scan/DirectoryLister.h"

#include "engine/core/Mutex.h"
#include "engine/core/Thread.h"
#include "scan/linux/LiveDirectorySet.h"
#include "scan/linux/MountTable.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
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
constexpr size_t readAheadBytes = 8 << 20;  // listings read but not yet walked
constexpr int maximumReadAheadDescriptors = 128; // descriptors kept for subdirectories not yet opened
constexpr size_t consumerBatch = 64;        // ready listings that justify waking a waiting walk

struct RawEntry {
    uint64_t size;
    uint32_t nameOffset;
    uint16_t nameLength;
    bool directory;
};

} // namespace

class DirectoryLister::Listing {
public:
    enum class State { PENDING, CLAIMED, DONE };

    Listing* parent = nullptr;
    std::string_view name;       // in the parent's name bytes; the whole path for the root
    uint32_t depth = 0;          // the root is 0
    uint32_t index = 0;          // among the parent's subdirectories
    State state = State::PENDING;
    int fd = -1;
    std::atomic<size_t> unopenedChildren { 0 };
    dev_t device = 0;
    ino_t inode = 0;
    int error = 0;               // why the directory could not be listed completely, else 0
    bool live = false;           // counted in the LiveDirectorySet
    std::vector<RawEntry> entries;
    std::vector<char> names;
    std::vector<std::unique_ptr<Listing>> subdirectories;
    size_t bytes = 0;

    size_t memory() const
    {
        return entries.capacity() * sizeof(RawEntry) + names.capacity()
            + subdirectories.size() * (sizeof(Listing) + sizeof(void*));
    }
};

namespace {

struct WalkOrder {
    bool operator()(const DirectoryLister::Listing* a, const DirectoryLister::Listing* b) const
    {
        // Walk order: climb to the same depth, then to the children of the nearest common
        // ancestor, and compare their places. Listings waiting to be read have all their
        // ancestors alive, and never include an ancestor of one another.
        while (a->depth > b->depth)
            a = a->parent;
        while (b->depth > a->depth)
            b = b->parent;
        if (a == b)
            return false;
        while (a->parent != b->parent) {
            a = a->parent;
            b = b->parent;
        }
        return a->index < b->index;
    }
};

// Whether an ancestor is the same directory. Called only when the LiveDirectorySet says another
// listing of it is alive, which is rare.
bool isCycle(const DirectoryLister::Listing* listing)
{
    for (auto* up = listing->parent; up; up = up->parent) {
        if (up->device == listing->device && up->inode == listing->inode)
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

class DirectoryLister::Impl {
public:
    class Helper final : public orvex::Thread {
    public:
        explicit Helper(Impl& impl) : impl(impl), buffer(listingBufferSize) {}
        ~Helper() override { join(); }
        using orvex::Thread::start;

    protected:
        void run() override
        {
            DirectoryLister::lowerCallingThreadPriority();
            impl.helperLoop(buffer.data());
        }

    private:
        Impl& impl;
        std::vector<char> buffer;
    };

    explicit Impl(const std::string& rootPath) : rootPath(rootPath), consumerBuffer(listingBufferSize)
    {
        readAheadDescriptors = raiseDescriptorLimit();
        rootListing = std::make_unique<Listing>();
        rootListing->name = this->rootPath;
        pending.insert(rootListing.get());
        unsigned cores = std::max(1u, std::min(4u, unsigned(sysconf(_SC_NPROCESSORS_ONLN))));
        if (cores > 1) {
            for (unsigned i = 0; i < cores; ++i)
                helpers.push_back(std::make_unique<Helper>(*this));
            for (auto& helper : helpers)
                helper->start();
        }
    }

    ~Impl()
    {
        {
            orvex::MutexLock lock(mutex);
            stopping = true;
            helperWake.notifyAll();
        }
        helpers.clear(); // joins
        destroyAll(std::move(rootListing));
    }

    Listing* take(Listing* listing)
    {
        orvex::MutexLock lock(mutex);
        while (listing->state != Listing::State::DONE) {
            if (listing->state == Listing::State::PENDING) {
                pending.erase(listing);
                listing->state = Listing::State::CLAIMED;
                mutex.unlock();
                read(*listing, consumerBuffer.data(), false);
                mutex.lock();
                publish(*listing);
                break;
            }
            waitingFor = listing;
            consumerWake.wait(mutex);
        }
        waitingFor = nullptr;
        readyBytes -= listing->bytes;
        readyCount -= 1;
        return listing;
    }

    // The walk is done with the listing and everything below it.
    void release(Listing& listing)
    {
        if (listing.live)
            live.remove(listing.device, listing.inode);
        listing.live = false;
    }

    std::unique_ptr<Listing> rootListing;

private:
    void helperLoop(char* buffer)
    {
        orvex::MutexLock lock(mutex);
        while (true) {
            while (!stopping
                   && (readAheadStopped || pending.size() < 2 || readyBytes >= readAheadBytes || openDescriptors() >= readAheadDescriptors)) {
                idleHelpers += 1;
                wakeConsumerIfWorthIt();
                helperWake.wait(mutex);
                idleHelpers -= 1;
            }
            if (stopping)
                return;
            Listing* listing = *pending.begin();
            pending.erase(pending.begin());
            listing->state = Listing::State::CLAIMED;
            helpersReading += 1;
            mutex.unlock();
            bool done = read(*listing, buffer, true);
            mutex.lock();
            helpersReading -= 1;
            if (done) {
                publish(*listing);
            } else {
                // The process ran out of descriptors: give the directory back for the walk to read
                // itself and stop reading ahead, so nothing is listed empty for want of a descriptor.
                listing->state = Listing::State::PENDING;
                pending.insert(listing);
                readAheadStopped = true;
                if (waitingFor == listing)
                    consumerWake.notifyOne();
            }
            if (readAheadStopped && helpersReading == 0)
                consumerWake.notifyAll(); // the walk may be waiting in stopReadingAhead
        }
    }

    // Under the mutex: the listing is complete; its subdirectories become readable.
    void publish(Listing& listing)
    {
        listing.state = Listing::State::DONE;
        listing.bytes = listing.memory();
        readyBytes += listing.bytes;
        readyCount += 1;
        for (auto& sub : listing.subdirectories)
            pending.insert(sub.get());
        // A lone pending directory is the one the walk needs next (a chain of directories): the
        // walk reads it itself sooner than a woken helper could hand it over.
        if (idleHelpers && !listing.subdirectories.empty() && pending.size() >= 2)
            helperWake.notifyAll();
        wakeConsumerIfWorthIt();
    }

    // Waking the walk for every listing would cost a context switch per directory; it is woken
    // once the listing it needs is ready and either a batch has piled up or reading ahead has
    // stalled.
    void wakeConsumerIfWorthIt()
    {
        if (!waitingFor || waitingFor->state != Listing::State::DONE)
            return;
        if (readyCount >= consumerBatch || pending.empty() || idleHelpers > 0 || readyBytes * 2 >= readAheadBytes
            || openDescriptors() >= readAheadDescriptors)
            consumerWake.notifyOne();
    }

    static constexpr int deferred = -2;
    static bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

    // Opens `listing` relative to its parent's descriptor, or the root by its path.
    int openOne(const Listing& listing)
    {
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        if (!listing.parent)
            return open(rootPath.c_str(), flags); // a symbolic link as the root is followed
        std::string name(listing.name);
        return openat(listing.parent->fd, name.c_str(), flags | O_NOFOLLOW);
    }

    // The directory's descriptor; -1 with errno when it cannot be opened; `deferred` when `mayDefer`
    // (a helper) and the process is out of descriptors, so the walk can read it later itself. The
    // walk instead frees descriptors and tries again; only the directory's own failure gives -1.
    int openDirectory(Listing& listing, bool mayDefer)
    {
        Listing* parent = listing.parent;
        if (mayDefer && parent && parent->fd < 0)
            return deferred; // only the walk reopens a parent whose descriptor was closed
        int fd = -1;
        if (parent && parent->fd < 0 && !reopen(*parent)) {
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
        if (parent && parent->unopenedChildren.fetch_sub(1) == 1)
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
        for (Listing* step = &target; step && step->fd < 0; step = step->parent)
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
            if (fd >= 0 && (fstat(fd, &status) != 0 || status.st_dev != step.device || status.st_ino != step.inode)) {
                close(fd);
                fd = -1;
                errno = ESTALE; // replaced since it was listed
            }
            if (fd < 0)
                return false;
            descriptorsOpened.fetch_add(1);
            step.fd = fd;
            // A directory passed through whose subdirectories are all open needs no descriptor.
            if (step.parent && i + 1 < chain.size() && step.parent->unopenedChildren.load() == 0)
                closeDescriptor(*step.parent);
        }
        return true;
    }

    // Under the mutex or not: waits until no helper is reading and none will start again, so the
    // walk alone touches descriptors from here on.
    void stopReadingAhead()
    {
        orvex::MutexLock lock(mutex);
        readAheadStopped = true;
        while (helpersReading > 0)
            consumerWake.wait(mutex);
    }

    // Walk only. Out of descriptors: closes every descriptor held for read-ahead listings and the
    // shallower half of those held on the walk path above `keep` (which stays open). The walk
    // needs its ancestors again deepest first, so the shallowest are the ones needed last. All of
    // them can be reopened by path (reopen). False when nothing could be closed.
    bool freeDescriptors(Listing* keep)
    {
        stopReadingAhead();
        std::unordered_set<const Listing*> onPath;
        std::vector<Listing*> pathHolders; // deepest first
        for (Listing* up = keep; up; up = up->parent) {
            onPath.insert(up);
            if (up != keep && up->fd >= 0)
                pathHolders.push_back(up);
        }
        size_t closed = 0;
        std::vector<Listing*> stack { rootListing.get() };
        while (!stack.empty()) {
            Listing* listing = stack.back();
            stack.pop_back();
            if (listing->state != Listing::State::DONE)
                continue;
            if (listing->fd >= 0 && !onPath.count(listing)) {
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
        if (listing.fd < 0)
            return;
        close(listing.fd);
        listing.fd = -1;
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
        listing.device = status.st_dev;
        listing.inode = status.st_ino;
        if (!listing.parent) {
            mark(listing);
            return true;
        }
        if (listing.device != listing.parent->device && mounts.isPseudo(listing.device, fd))
            return false;
        if (mark(listing) && isCycle(&listing))
            return false;
        return true;
    }

    // Counts the listing as alive; true when another listing of the same directory is alive.
    bool mark(Listing& listing)
    {
        listing.live = true;
        return live.add(listing.device, listing.inode);
    }

    // Opens and reads one directory. Runs without the mutex: only this thread touches the listing
    // until publish(). False when the read was deferred (see openDirectory).
    bool read(Listing& listing, char* buffer, bool mayDefer)
    {
        int fd = openDirectory(listing, mayDefer);
        if (fd == deferred)
            return false;
        if (fd < 0) {
            listing.error = errno; // a directory that cannot be opened is listed as empty
            return true;
        }
        descriptorsOpened.fetch_add(1);
        listing.fd = fd;
        if (walkable(listing, fd))
            readEntries(listing, fd, buffer);
        listing.unopenedChildren.store(listing.subdirectories.size());
        if (listing.subdirectories.empty())
            closeDescriptor(listing);
        return true;
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
        for (size_t i = 0, subdirectory = 0; i < listing.entries.size(); ++i) {
            if (!listing.entries[i].directory)
                continue;
            auto sub = std::make_unique<Listing>();
            sub->parent = &listing;
            sub->name = std::string_view(listing.names.data() + listing.entries[i].nameOffset, listing.entries[i].nameLength);
            sub->depth = listing.depth + 1;
            sub->index = uint32_t(subdirectory++);
            listing.subdirectories.push_back(std::move(sub));
        }
    }

    void addEntry(Listing& listing, int fd, const LinuxDirent64* record)
    {
        const char* name = record->d_name;
        size_t length = strlen(name);
        if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.'))
            return;
        RawEntry entry { 0, 0, uint16_t(length), false };
        unsigned char type = record->d_type;
        if (type == DT_REG || type == DT_UNKNOWN) {
            struct stat status;
            if (fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISREG(status.st_mode))
                    entry.size = uint64_t(status.st_size);
                else if (S_ISDIR(status.st_mode))
                    entry.directory = true;
                else
                    return; // a link, device, socket or FIFO now
            } else if (type == DT_UNKNOWN) {
                return; // its kind cannot be told
            }
            // A regular file whose size cannot be read counts 0 bytes.
        } else if (type == DT_DIR) {
            entry.directory = true;
        } else {
            return;
        }
        entry.nameOffset = uint32_t(listing.names.size());
        listing.names.insert(listing.names.end(), name, name + length);
        listing.entries.push_back(entry);
    }

    // Frees every listing left after a cancelled walk without recursing, since an abandoned chain
    // of listings can be as deep as the directory tree.
    void destroyAll(std::unique_ptr<Listing> root)
    {
        std::vector<std::unique_ptr<Listing>> doomed;
        doomed.push_back(std::move(root));
        while (!doomed.empty()) {
            std::unique_ptr<Listing> listing = std::move(doomed.back());
            doomed.pop_back();
            closeDescriptor(*listing);
            release(*listing);
            for (auto& sub : listing->subdirectories)
                doomed.push_back(std::move(sub));
        }
    }

    std::string rootPath;
    MountTable mounts;
    std::vector<char> consumerBuffer;
    orvex::Mutex mutex;
    orvex::ConditionVariable helperWake;
    orvex::ConditionVariable consumerWake;
    std::set<Listing*, WalkOrder> pending; // not yet claimed, earliest in walk order first (see WalkOrder)
    Listing* waitingFor = nullptr;
    size_t readyBytes = 0;
    size_t readyCount = 0;
    unsigned idleHelpers = 0;
    bool stopping = false;
    bool readAheadStopped = false; // set once a helper or the walk ran out of descriptors
    unsigned helpersReading = 0;   // helpers between claiming a listing and publishing it
    LiveDirectorySet live;
    int readAheadDescriptors = maximumReadAheadDescriptors;
    // Counted apart from the mutex; a slightly stale sum only shifts when reading ahead pauses.
    std::atomic<int> descriptorsOpened { 0 };
    std::atomic<int> descriptorsClosed { 0 };
    int openDescriptors() const { return descriptorsOpened.load() - descriptorsClosed.load(); }
    std::vector<std::unique_ptr<Helper>> helpers;
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

DirectoryLister::DirectoryLister(const std::string& rootPath) : impl(std::make_unique<Impl>(rootPath)) {}

DirectoryLister::~DirectoryLister() = default;

DirectoryLister::RootKind DirectoryLister::examineRoot(const std::string& path, uint64_t& fileSize)
{
    fileSize = 0;
    struct stat status;
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return RootKind::MISSING;
    if (S_ISREG(status.st_mode)) {
        fileSize = uint64_t(status.st_size);
        return RootKind::FILE;
    }
    return S_ISDIR(status.st_mode) ? RootKind::DIRECTORY : RootKind::MISSING;
}

DirectoryLister::Listing* DirectoryLister::root() { return impl->take(impl->rootListing.get()); }

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

int DirectoryLister::error(const Listing* listing) { return listing->error; }

size_t DirectoryLister::entryCount(const Listing* listing) { return listing->entries.size(); }

DirectoryLister::Entry DirectoryLister::entry(const Listing* listing, size_t index)
{
    const RawEntry& raw = listing->entries[index];
    return { std::string_view(listing->names.data() + raw.nameOffset, raw.nameLength), raw.directory, raw.size };
}
