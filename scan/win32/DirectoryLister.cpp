// The Windows directory lister: FindFirstFileExW in its basic, large-fetch form over
// extended-length paths, so a listing delivers every entry's kind, attributes and size and no
// ordinary entry costs a query of its own; names are kept as generalized UTF-8 (WideText.h), which
// converts back to exactly the units the system gave. ReadAheadQueue's helpers read listings ahead
// of the walk.
// Symbolic links are left out; junctions and other reparse points that lead to a directory are
// walked, except into a directory already open on the walk path.
#include "scan/DirectoryLister.h"

#include "engine/core/Mutex.h"
#include "engine/core/win32/WideText.h"
#include "scan/ListingTree.h"
#include "scan/PathBelowRoot.h"
#include "scan/ReadAheadQueue.h"

#include <cassert>
#include <cerrno>
#include <optional>
#include <vector>
#include <windows.h>

namespace {

// A link made by the Linux subsystem; a symbolic link as much as the native kind.
constexpr DWORD reparseTagLinuxSymlink = 0xA000001D;

using Listing = DirectoryLister::Listing;

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

class DirectoryLister::Impl final : public ReadAheadQueue::Reader {
public:
    explicit Impl(const std::string& rootPath) : rootPath(rootPath), rootListing(std::make_unique<Listing>())
    {
        rootListing->name = this->rootPath;
        rootListing->extra.path = orvex::toExtendedPath(rootOfDrive(this->rootPath));
        queue.emplace(*this, *rootListing, 0);
    }

    ~Impl()
    {
        queue.reset(); // joins the helpers before the listings go
        destroyListings(std::move(rootListing), [](Listing&) {});
    }

    Listing* root() { return queue->take(rootListing.get()); }
    Listing* take(Listing* listing) { return queue->take(listing); }

    // Lists one directory; a directory that cannot be opened is listed empty with the reason.
    // Never deferred: nothing here runs out the way descriptors do.
    bool read(Listing& listing, char*, bool) override
    {
        list(listing);
        return true;
    }

    bool budgetSpent() const override { return false; }

private:
    // The listing's identity, read once; false when it cannot be read. Listings on the path of a
    // listing being read stay alive, so climbing it is safe.
    bool identify(Listing& listing)
    {
        orvex::MutexLock lock(identityMutex);
        if (!listing.extra.identityKnown) {
            BY_HANDLE_FILE_INFORMATION information {};
            if (!informationOf(listing.extra.path, information))
                return false;
            listing.extra.identity = { information.dwVolumeSerialNumber,
                                 uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow };
            listing.extra.identityKnown = true;
        }
        return true;
    }

    // Whether the directory is one of its own ancestors, reached again through a junction. Plain
    // directories cannot be (a directory has a single parent), so only listings reached through
    // a reparse point pay for the climb.
    bool isCycle(Listing& listing)
    {
        if (!listing.extra.throughReparsePoint || !identify(listing))
            return false;
        for (Listing* up = listing.parent; up; up = up->parent) {
            if (identify(*up) && up->extra.identity == listing.extra.identity)
                return true;
        }
        return false;
    }

    void list(Listing& listing)
    {
        if (isCycle(listing))
            return; // an empty directory node, not an endless walk
        const bool endsInSeparator = !listing.extra.path.empty() && (listing.extra.path.back() == L'\\' || listing.extra.path.back() == L'/');
        const std::wstring pattern = listing.extra.path + (endsInSeparator ? L"*" : L"\\*");
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

        listing.addSubdirectories();
        for (size_t i = 0; i < listing.subdirectories.size(); ++i) {
            ListingExtra& sub = listing.subdirectories[i]->extra;
            sub.path = listing.extra.path + (endsInSeparator ? L"" : L"\\") + subdirectoryNames[i];
            sub.throughReparsePoint = subdirectoryThroughReparse[i];
        }
    }

    void addEntry(Listing& listing, const WIN32_FIND_DATAW& data, bool endsInSeparator,
                  std::vector<std::wstring>& subdirectoryNames, std::vector<bool>& subdirectoryThroughReparse)
    {
        const wchar_t* name = data.cFileName;
        if ((name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0))
            return;
        const DWORD attributes = data.dwFileAttributes;
        bool directory = false;
        uint64_t size = 0;
        bool throughReparse = false;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // The listing gives the reparse tag, not what the point leads to.
            const DWORD tag = data.dwReserved0;
            if (tag == IO_REPARSE_TAG_SYMLINK || tag == reparseTagLinuxSymlink)
                return;
            BY_HANDLE_FILE_INFORMATION information {};
            if (!informationOf(listing.extra.path + (endsInSeparator ? L"" : L"\\") + name, information))
                return; // what it leads to cannot be told
            if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                directory = true;
                throughReparse = true;
            } else {
                size = uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
            }
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            directory = true;
        } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
            return;
        } else {
            size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        }
        const std::wstring_view wideName(name);
        const std::string utf8 = orvex::fromWide(wideName);
        listing.add(utf8, directory, size);
        if (directory) {
            subdirectoryNames.emplace_back(wideName);
            subdirectoryThroughReparse.push_back(throughReparse);
        }
    }

    std::string rootPath;
    orvex::Mutex identityMutex;
    std::unique_ptr<Listing> rootListing;
    std::optional<ReadAheadQueue> queue; // last: its helpers stop before the members above go
};

void DirectoryLister::lowerCallingThreadPriority()
{
    // The lowest priority of the normal class: below the interface thread, above idle work. A
    // failure leaves the usual priority.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

// No caller on Windows leaves files out; reading each file's index to compare would cost a query
// per file that FindFirstFileExW's listing otherwise saves. The root is opened by its path; a link
// below `followedLength` is refused by examineRoot, which the scanner asks just before.
DirectoryLister::DirectoryLister(const std::string& rootPath, size_t, std::vector<FileIdentity>)
    : impl(std::make_unique<Impl>(rootPath))
{
}

// The final path (links and junctions resolved) cut one component at a time; each step's identity
// is read from the directory itself. A drive's or share's root ends the climb.
std::vector<DirectoryLister::FileIdentity> DirectoryLister::lineage(const std::string& path)
{
    std::vector<FileIdentity> chain;
    if (path.empty())
        return chain;
    HANDLE handle = openForInformation(orvex::toExtendedPath(rootOfDrive(path)));
    if (handle == INVALID_HANDLE_VALUE)
        return chain;
    std::wstring resolved(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()), FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    if (length == 0 || length >= resolved.size())
        return chain;
    resolved.resize(length);
    while (true) {
        BY_HANDLE_FILE_INFORMATION information {};
        if (!informationOf(resolved, information) || !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            break;
        const FileIdentity identity { information.dwVolumeSerialNumber,
                                      uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow };
        if (!chain.empty() && chain.back() == identity)
            break;
        chain.push_back(identity);
        while (!resolved.empty() && resolved.back() == L'\\')
            resolved.pop_back();
        const size_t cut = resolved.find_last_of(L'\\');
        if (cut == std::wstring::npos)
            break;
        // "\\?\C:\a" climbs to "\\?\C:\", which still names the drive's root.
        resolved.resize(cut + 1);
    }
    return chain;
}

DirectoryLister::~DirectoryLister() = default;

DirectoryLister::RootKind DirectoryLister::examineRoot(const std::string& path, uint64_t& fileSize, size_t followedLength)
{
    fileSize = 0;
    BY_HANDLE_FILE_INFORMATION information {};
    if (path.empty() || linkBelowRoot(path, followedLength) != 0 || !informationOf(orvex::toExtendedPath(rootOfDrive(path)), information))
        return RootKind::MISSING;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return RootKind::DIRECTORY;
    fileSize = uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    return RootKind::FILE;
}

DirectoryLister::Listing* DirectoryLister::root() { return impl->root(); }

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
    listing->extra.path = {};
}
