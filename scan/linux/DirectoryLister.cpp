// The Linux directory lister: directory file descriptors, getdents64 and fstatat relative to the
// directory, so no entry costs a path resolution from the root. Helper threads read listings
// ahead of the walk, always the earliest not-yet-read directory in walk order first, within a
// budget of buffered bytes and open descriptors; the walk claims and reads a listing itself
// when no helper has started it, so nothing can wait on an idle helper.
#include "scan/DirectoryLister.h"

#include "engine/core/Mutex.h"
#include "engine/core/Thread.h"
#include "scan/linux/MountTable.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
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
        void run() override { impl.helperLoop(buffer.data()); }

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

    std::unique_ptr<Listing> rootListing;

private:
    void helperLoop(char* buffer)
    {
        orvex::MutexLock lock(mutex);
        while (true) {
            while (!stopping
                   && (readAheadStopped || pending.empty() || readyBytes >= readAheadBytes || openDescriptors() >= readAheadDescriptors)) {
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
            mutex.unlock();
            bool done = read(*listing, buffer, true);
            mutex.lock();
            if (done) {
                publish(*listing);
                continue;
            }
            // The process ran out of descriptors: give the directory back for the walk to read
            // itself and stop reading ahead, so nothing is listed empty for want of a descriptor.
            listing->state = Listing::State::PENDING;
            pending.insert(listing);
            readAheadStopped = true;
            if (waitingFor == listing)
                consumerWake.notifyOne();
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
        if (idleHelpers && !listing.subdirectories.empty())
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

    // The directory's descriptor, -1 when it cannot be opened, or `deferred` when `mayDefer` and
    // the process is out of descriptors (the parent keeps its own for a later attempt).
    int openDirectory(Listing& listing, bool mayDefer)
    {
        if (!listing.parent)
            return open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        Listing& parent = *listing.parent;
        std::string name(listing.name);
        int fd = parent.fd >= 0 ? openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (fd < 0 && mayDefer && (errno == EMFILE || errno == ENFILE))
            return deferred;
        // The last subdirectory to be opened closes its parent's descriptor.
        if (parent.unopenedChildren.fetch_sub(1) == 1)
            closeDescriptor(parent);
        return fd;
    }

    void closeDescriptor(Listing& listing)
    {
        if (listing.fd < 0)
            return;
        close(listing.fd);
        listing.fd = -1;
        descriptorsClosed.fetch_add(1);
    }

    // Opens and reads one directory. Runs without the mutex: only this thread touches the listing
    // until publish().
    // False when the read was deferred (see openDirectory).
    bool read(Listing& listing, char* buffer, bool mayDefer)
    {
        int fd = openDirectory(listing, mayDefer);
        if (fd == deferred)
            return false;
        if (fd < 0)
            return true; // a directory that cannot be opened is listed as empty
        descriptorsOpened.fetch_add(1);
        listing.fd = fd;
        struct stat status;
        bool walkable = fstat(fd, &status) == 0;
        if (walkable) {
            listing.device = status.st_dev;
            listing.inode = status.st_ino;
            // Below the root: no descent into kernel pseudo file systems, whose files' sizes are
            // not disk usage, and none into a directory already open on the walk path (a bind
            // mount of an ancestor), which would never end.
            if (listing.parent && ((listing.device != listing.parent->device && mounts.isPseudo(listing.device, fd)) || isCycle(&listing)))
                walkable = false;
        }
        if (walkable)
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
            if (got <= 0)
                break; // the end, or an error, which ends this directory's listing
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
    bool readAheadStopped = false; // set once a helper ran out of descriptors
    int readAheadDescriptors = maximumReadAheadDescriptors;
    // Counted apart from the mutex; a slightly stale sum only shifts when reading ahead pauses.
    std::atomic<int> descriptorsOpened { 0 };
    std::atomic<int> descriptorsClosed { 0 };
    int openDescriptors() const { return descriptorsOpened.load() - descriptorsClosed.load(); }
    std::vector<std::unique_ptr<Helper>> helpers;
};

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
    // Everything below was walked and released already; nothing else refers to it.
    listing->subdirectories.clear();
    listing->subdirectories.shrink_to_fit();
    listing->entries = {};
    listing->names = {};
}

size_t DirectoryLister::entryCount(const Listing* listing) { return listing->entries.size(); }

DirectoryLister::Entry DirectoryLister::entry(const Listing* listing, size_t index)
{
    const RawEntry& raw = listing->entries[index];
    return { std::string_view(listing->names.data() + raw.nameOffset, raw.nameLength), raw.directory, raw.size };
}
