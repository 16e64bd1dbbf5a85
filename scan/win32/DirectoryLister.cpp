// The Windows directory lister: FindFirstFileExW in its basic, large-fetch form over
// extended-length paths, so a listing delivers every entry's kind, attributes and size and no
// ordinary entry costs a query of its own; names are kept as generalized UTF-8 (WideText.h), which
// converts back to exactly the units the system gave. Helper threads read listings ahead of the
// walk, earliest in walk order first, within a budget of buffered bytes; the walk claims and reads
// a listing itself when no helper has started it, so nothing can wait on an idle helper.
// Symbolic links are left out; junctions and other reparse points that lead to a directory are
// walked, except into a directory already open on the walk path.
#include "scan/DirectoryLister.h"

#include "engine/core/Mutex.h"
#include "engine/core/Thread.h"
#include "engine/core/win32/WideText.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <set>
#include <vector>
#include <windows.h>

namespace {

constexpr size_t readAheadBytes = 8 << 20; // listings read but not yet walked
constexpr size_t consumerBatch = 64;       // ready listings that justify waking a waiting walk
// A link made by the Linux subsystem; a symbolic link as much as the native kind.
constexpr DWORD reparseTagLinuxSymlink = 0xA000001D;

struct RawEntry {
    uint64_t size;
    uint32_t nameOffset;
    uint16_t nameLength;
    bool directory;
};

// Where a directory lives: the same pair means the same directory, whatever path reached it.
struct Identity {
    DWORD volume = 0;
    uint64_t index = 0;
    bool operator==(const Identity&) const = default;
};

// The nearest errno value, which is what listings report.
int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    default:
        return EIO;
    }
}

// Opens what `path` finally names (links and junctions followed) just to read its information.
HANDLE openForInformation(const std::wstring& path)
{
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The information of what `path` finally names; false when it cannot be read or is not on a disk
// (a device or a pipe).
bool informationOf(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& information)
{
    HANDLE handle = openForInformation(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool read = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information);
    CloseHandle(handle);
    return read;
}

// A bare drive designator ("C:") names the drive's current folder for the system; the scan
// means the drive itself.
std::string rootOfDrive(const std::string& path)
{
    if (path.size() == 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return path + "\\";
    return path;
}

} // namespace

class DirectoryLister::Listing {
public:
    enum class State { PENDING, CLAIMED, DONE };

    Listing* parent = nullptr;
    std::string_view name;       // in the parent's name bytes; the whole path for the root
    std::wstring path;           // extended-length; kept until released for the cycle check
    uint32_t depth = 0;          // the root is 0
    uint32_t index = 0;          // among the parent's subdirectories
    State state = State::PENDING;
    bool throughReparsePoint = false; // a junction or another reparse point led here
    bool identityKnown = false;       // `identity` was read (under Impl::identityMutex)
    Identity identity;
    int error = 0;               // why the directory could not be listed completely, else 0
    std::vector<RawEntry> entries;
    std::vector<char> names;
    std::vector<std::unique_ptr<Listing>> subdirectories;
    size_t bytes = 0;

    size_t memory() const
    {
        return entries.capacity() * sizeof(RawEntry) + names.capacity() + path.capacity() * sizeof(wchar_t)
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

} // namespace

class DirectoryLister::Impl {
public:
    class Helper final : public orvex::Thread {
    public:
        explicit Helper(Impl& impl) : impl(impl) {}
        ~Helper() override { join(); }
        using orvex::Thread::start;

    protected:
        void run() override
        {
            DirectoryLister::lowerCallingThreadPriority();
            impl.helperLoop();
        }

    private:
        Impl& impl;
    };

    explicit Impl(const std::string& rootPath) : rootPath(rootPath)
    {
        rootListing = std::make_unique<Listing>();
        rootListing->name = this->rootPath;
        rootListing->path = orvex::toExtendedPath(rootOfDrive(this->rootPath));
        pending.insert(rootListing.get());
        SYSTEM_INFO system {};
        GetSystemInfo(&system);
        unsigned cores = std::max(1u, std::min(4u, unsigned(system.dwNumberOfProcessors)));
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
                read(*listing);
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
    void helperLoop()
    {
        orvex::MutexLock lock(mutex);
        while (true) {
            while (!stopping && (pending.size() < 2 || readyBytes >= readAheadBytes)) {
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
            read(*listing);
            mutex.lock();
            publish(*listing);
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
        if (readyCount >= consumerBatch || pending.empty() || idleHelpers > 0 || readyBytes * 2 >= readAheadBytes)
            consumerWake.notifyOne();
    }

    // The listing's identity, read once; false when it cannot be read. Listings on the path of a
    // listing being read stay alive, so climbing it is safe.
    bool identify(Listing& listing)
    {
        orvex::MutexLock lock(identityMutex);
        if (!listing.identityKnown) {
            BY_HANDLE_FILE_INFORMATION information {};
            if (!informationOf(listing.path, information))
                return false;
            listing.identity = { information.dwVolumeSerialNumber,
                                 uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow };
            listing.identityKnown = true;
        }
        return true;
    }

    // Whether the directory is one of its own ancestors, reached again through a junction. Plain
    // directories cannot be (a directory has a single parent), so only listings reached through
    // a reparse point pay for the climb.
    bool isCycle(Listing& listing)
    {
        if (!listing.throughReparsePoint || !identify(listing))
            return false;
        for (Listing* up = listing.parent; up; up = up->parent) {
            if (identify(*up) && up->identity == listing.identity)
                return true;
        }
        return false;
    }

    // Lists one directory. Runs without the mutex: only this thread touches the listing until
    // publish(). A directory that cannot be opened is listed empty with the reason.
    void read(Listing& listing)
    {
        if (isCycle(listing))
            return; // an empty directory node, not an endless walk
        const bool endsInSeparator = !listing.path.empty() && (listing.path.back() == L'\\' || listing.path.back() == L'/');
        const std::wstring pattern = listing.path + (endsInSeparator ? L"*" : L"\\*");
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // A drive's root has no "." entry, so an empty one finds nothing at all.
            if (error != ERROR_FILE_NOT_FOUND)
                listing.error = errnoOf(error);
            return;
        }
        std::vector<std::wstring> subdirectoryNames;
        std::vector<bool> subdirectoryThroughReparse;
        do {
            addEntry(listing, data, endsInSeparator, subdirectoryNames, subdirectoryThroughReparse);
        } while (FindNextFileW(find, &data));
        const DWORD error = GetLastError();
        // Any other failure ends this directory's listing; what was read stays.
        if (error != ERROR_NO_MORE_FILES)
            listing.error = errnoOf(error);
        FindClose(find);

        listing.subdirectories.reserve(subdirectoryNames.size());
        for (size_t i = 0, subdirectory = 0; i < listing.entries.size(); ++i) {
            if (!listing.entries[i].directory)
                continue;
            auto sub = std::make_unique<Listing>();
            sub->parent = &listing;
            sub->name = std::string_view(listing.names.data() + listing.entries[i].nameOffset, listing.entries[i].nameLength);
            sub->path = listing.path + (endsInSeparator ? L"" : L"\\") + subdirectoryNames[subdirectory];
            sub->throughReparsePoint = subdirectoryThroughReparse[subdirectory];
            sub->depth = listing.depth + 1;
            sub->index = uint32_t(subdirectory++);
            listing.subdirectories.push_back(std::move(sub));
        }
    }

    void addEntry(Listing& listing, const WIN32_FIND_DATAW& data, bool endsInSeparator,
                  std::vector<std::wstring>& subdirectoryNames, std::vector<bool>& subdirectoryThroughReparse)
    {
        const wchar_t* name = data.cFileName;
        if ((name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0))
            return;
        const DWORD attributes = data.dwFileAttributes;
        RawEntry entry { 0, 0, 0, false };
        bool throughReparse = false;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // The listing gives the reparse tag, not what the point leads to.
            const DWORD tag = data.dwReserved0;
            if (tag == IO_REPARSE_TAG_SYMLINK || tag == reparseTagLinuxSymlink)
                return;
            BY_HANDLE_FILE_INFORMATION information {};
            if (!informationOf(listing.path + (endsInSeparator ? L"" : L"\\") + name, information))
                return; // what it leads to cannot be told
            if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                entry.directory = true;
                throughReparse = true;
            } else {
                entry.size = uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
            }
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.directory = true;
        } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
            return;
        } else {
            entry.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        }
        const std::wstring_view wideName(name);
        const std::string utf8 = orvex::fromWide(wideName);
        entry.nameOffset = uint32_t(listing.names.size());
        entry.nameLength = uint16_t(utf8.size());
        listing.names.insert(listing.names.end(), utf8.begin(), utf8.end());
        listing.entries.push_back(entry);
        if (entry.directory) {
            subdirectoryNames.emplace_back(wideName);
            subdirectoryThroughReparse.push_back(throughReparse);
        }
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
            for (auto& sub : listing->subdirectories)
                doomed.push_back(std::move(sub));
        }
    }

    std::string rootPath;
    orvex::Mutex mutex;
    orvex::Mutex identityMutex;
    orvex::ConditionVariable helperWake;
    orvex::ConditionVariable consumerWake;
    std::set<Listing*, WalkOrder> pending; // not yet claimed, earliest in walk order first (see WalkOrder)
    Listing* waitingFor = nullptr;
    size_t readyBytes = 0;
    size_t readyCount = 0;
    unsigned idleHelpers = 0;
    bool stopping = false;
    std::vector<std::unique_ptr<Helper>> helpers;
};

void DirectoryLister::lowerCallingThreadPriority()
{
    // The lowest priority of the normal class: below the interface thread, above idle work. A
    // failure leaves the usual priority.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

DirectoryLister::DirectoryLister(const std::string& rootPath) : impl(std::make_unique<Impl>(rootPath)) {}

DirectoryLister::~DirectoryLister() = default;

DirectoryLister::RootKind DirectoryLister::examineRoot(const std::string& path, uint64_t& fileSize)
{
    fileSize = 0;
    BY_HANDLE_FILE_INFORMATION information {};
    if (path.empty() || !informationOf(orvex::toExtendedPath(rootOfDrive(path)), information))
        return RootKind::MISSING;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return RootKind::DIRECTORY;
    fileSize = uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    return RootKind::FILE;
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
    listing->path = {};
}

int DirectoryLister::error(const Listing* listing) { return listing->error; }

size_t DirectoryLister::entryCount(const Listing* listing) { return listing->entries.size(); }

DirectoryLister::Entry DirectoryLister::entry(const Listing* listing, size_t index)
{
    const RawEntry& raw = listing->entries[index];
    return { std::string_view(listing->names.data() + raw.nameOffset, raw.nameLength), raw.directory, raw.size };
}
