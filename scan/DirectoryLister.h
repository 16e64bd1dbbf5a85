// DirectoryLister: the platform seam of the walk. It lists the directories of one scan, in the
// order the walk will need them, and may read ahead on helper threads; the walk itself (node
// creation, notifications, cancel checks) stays on the scanner's worker and sees exactly what a
// one-thread walk would. Listings hold only the entries that become nodes: regular files with
// their logical size and directories, in the order of the system's listing; symbolic links,
// devices, sockets, FIFOs and entries gone since the listing are already left out. A listed
// entry whose size cannot be read (a directory with read but no search permission) stays, as a
// file marked with the error, so that its missing bytes are reported rather than counted as 0.
// Every member is called on the scanner's worker thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class DirectoryLister {
public:
    enum class RootKind { MISSING, FILE, DIRECTORY };

    struct Entry {
        std::string_view name;
        bool directory;
        uint64_t size; // files only; 0 when `error` is set
        int error;     // files only: why the size could not be read (an errno value), else 0
    };

    class Listing; // one directory's entries; owned by the lister

    // Where a file lives: the same pair means the same file, whatever path or link reached it
    // (device and inode; on Windows the volume's serial number and the file index).
    struct FileIdentity {
        uint64_t device = 0;
        uint64_t inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    // What the scanned path is, following symbolic links; for a file, also its size (0 when it
    // cannot be read). With a `followedLength`, links are followed only within the path's first
    // `followedLength` bytes (see PathBelowRoot.h): a path that is a link, or runs through one,
    // below them is MISSING.
    static RootKind examineRoot(const std::string& path, uint64_t& fileSize, size_t followedLength = std::string::npos);

    // Gives the calling thread (the scanner's worker; the lister does it for its helpers) a lower
    // scheduling priority than the interface's, so that frames stay smooth while a scan takes
    // every core; a scan alone runs as fast as before.
    static void lowerCallingThreadPriority();

    // The directories the walk would go through to reach the directory `path` finally names: its
    // own identity first, then its parent's and so on up to the file system's root (links in
    // `path` followed, ".." taken as the system takes it). Empty when `path` is not a directory
    // that can be reached. Any thread.
    static std::vector<FileIdentity> lineage(const std::string& path);

    // `followedLength`: as examineRoot's, for opening the root directory.
    // `leftOut`: regular files no listing holds, such as the file a scan's export is being written
    // to inside the scanned tree. Linux only; the Windows lister lists them (no caller there sets any).
    explicit DirectoryLister(const std::string& rootPath, size_t followedLength = std::string::npos,
                             std::vector<FileIdentity> leftOut = {});
    ~DirectoryLister(); // stops any reading ahead and frees every listing
    DirectoryLister(const DirectoryLister&) = delete;
    DirectoryLister& operator=(const DirectoryLister&) = delete;

    // The root directory's listing (empty when it cannot be opened).
    Listing* root();
    // The listing of the `subdirectory`-th directory entry of `parent` (counting directory
    // entries only, from 0), waiting until it is read. Called in walk (pre-)order.
    Listing* child(Listing* parent, size_t subdirectory);
    // The walk is done with `listing` and everything below it.
    void release(Listing* listing);

    // Why the directory could not be listed, or could be listed only in part (an errno value);
    // 0 when it was listed completely or was deliberately not descended into (a kernel pseudo
    // file system, a directory already open on its own path). Never a lack of descriptors
    // the lister could make up for.
    static int error(const Listing* listing);
    static size_t entryCount(const Listing* listing);
    static Entry entry(const Listing* listing, size_t index);

private:
    class Impl;
    std::unique_ptr<Impl> impl;
};
