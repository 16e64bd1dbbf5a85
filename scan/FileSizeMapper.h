// FileSizeMapper: walks a directory tree on its own worker thread into a size tree, while the
// GUI thread polls the progress, may cancel or replace the scan, and takes the finished tree.
// Every public member is called on the GUI thread; the worker runs from construction to
// destruction and sleeps between scans.
#pragma once

#include "engine/core/Atomic.h"
#include "engine/core/Mutex.h"
#include "engine/core/Thread.h"
#include "engine/core/UniquePtr.h"
#include "scan/DirectoryLister.h"
#include "scan/FilesystemNode.h"
#include "scan/OverlappingPaths.h"
#include "scan/TreeFolding.h"
#include "scan/TreeImporter.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

class ScanListener;
class ScanSink;

enum ScanState : int32_t {
    IDLE = 0,      // no scan and no unclaimed result
    SCANNING = 1,  // a scan was requested or is running
    CANCELING = 2, // the running scan is asked to stop; its partial tree is discarded
    FINISHED = 3,  // the scan ended; the result (possibly null) waits for takeResult()
    QUIT = 4,      // the scanner is being destroyed
};

// What a scan could not see. A directory that cannot be listed stays in the tree as an empty
// directory, and a listed file whose size cannot be read as a file of 0 bytes, so their bytes
// are missing from every total above them; these say so.
struct ScanProblems {
    uint64_t unlistedDirectories = 0; // could not be listed, or only in part
    uint64_t unreadableFiles = 0;     // listed, but their size could not be read
    std::string firstUnlistedPath;    // the first directory or file of either kind, in walk order
    int firstError = 0;               // and its errno value (0 when an import told no reason)
    bool rootUnlisted = false;        // the scanned directory itself could not be listed
    // Every node of those two kinds, in walk order: valid while the tree lives, so that a saved
    // scan can mark each of them ("read_error"). The node itself carries no such flag. Empty for
    // a scan into a sink, which is told each of them instead and keeps no tree.
    std::vector<const FilesystemNode*> unlistedNodes;
    bool saturated = false;           // some total reached 2^64 - 1 bytes and stopped there
    std::string importFailure;        // a stored scan could not be read: "FILE: at byte N: reason"
    // Directories of a list left out because another path of the list counts them (mapPaths).
    std::vector<LeftOutPath> leftOut;
};

class FileSizeMapper final : public orvex::Thread {
public:
    FileSizeMapper();  // starts the worker
    ~FileSizeMapper() override; // cancels a running scan, stops and joins the worker

    // Not owned. Set once, before the first scan.
    void setListener(ScanListener* listener);
    // Not owned; may stay null. Set once, before the first scan. Regular files it recognises are
    // imported as the trees they store instead of being mapped as single files.
    void setImporter(TreeImporter* importer);
    // Not owned; may stay null. Set once, before the first scan, and never with a listener or an
    // importer. Every scan then hands its entries to `sink` in walk order instead of building a
    // tree: a directory's node lives only while the directory is open on the walk, and a file
    // gets none. The result is the root alone, with its total; a sink that refuses a call ends
    // the scan as if it were complete.
    void setSink(ScanSink* sink);
    // From the next scan on: a walk keeps every node until its tree has `budget` nodes, and from
    // then on folds what can never be drawn (TreeFolding); a stored scan is folded from its first
    // folder whatever the budget, unless `budget` is TreeFolding::never (the default), which keeps
    // every node of every tree. Each path of a list counts on its own.
    void setNodeBudget(uint64_t budget);
    // From the next scan on, the walk lists no regular file with one of these identities (the
    // file an export of the scan is being written to, inside the scanned tree). Set before the
    // scan it applies to. Linux only (DirectoryLister). Any time; a running scan keeps its own.
    void setLeftOutFiles(std::vector<DirectoryLister::FileIdentity> files);
    // Starts mapping `path` (a directory, or a single file). A running scan is cancelled and an
    // unclaimed result discarded first.
    void mapDirectory(std::string path);
    // mapDirectory for a folder of an earlier scan, found below the scan root whose path is the
    // first `rootLength` bytes of `path`: the walk follows no symbolic link below the root, as
    // the earlier walk did not (PathBelowRoot.h), so a folder that is now a link, or is reached
    // through one, is no longer there (a null result).
    void refreshDirectory(std::string path, size_t rootLength);
    // Starts mapping every path of `paths`, one after the other, into one tree: its root is a
    // summary directory named "N scans" (scanSummary set, its size the saturating sum) whose
    // children are the scans' roots in the order given, a stored scan's root named by
    // storedScanCaption. One path maps exactly as mapDirectory does. The progress, a cancel and
    // the problems cover the whole list; a stored scan that cannot be imported fails all of it
    // (a null result and its importFailure). A path that is neither a file nor a directory when
    // its turn comes is left out. "-" is a stored scan read from standard input (at most once).
    // A scan into a sink maps one path only.
    // A directory that another directory of the list covers (the same one again, whatever path
    // or link names it, or one inside it) is left out and named in the problems' leftOut; the rest
    // map as if given alone (a single one left: no summary). This compares the directories' lineages
    // (DirectoryLister::lineage) on the calling thread.
    void mapPaths(std::vector<std::string> paths);
    // Stops a running scan; returns once its partial tree is destroyed.
    void cancel();
    // The finished tree (null for a path that was neither a file nor a directory); null and no
    // change unless the state is FINISHED.
    orvex::UniquePtr<FilesystemNode> takeResult();
    // The problems of the last scan that finished, from FINISHED until the next mapDirectory.
    ScanProblems problems();
    // Where the last finished tree came from when it was imported (else `file` is empty), from
    // FINISHED until the next mapDirectory.
    ImportedScan imported();
    // Lock-free progress for one frame: the directory being walked, the bytes summed so far and
    // the length of the root's name at the start of outPath.
    ScanState getProgress(std::string& outPath, uint64_t& outBytes, uint64_t& outRootNameLength);
    // Lock-free: the state alone, for a caller that waits for the scan's end.
    ScanState currentState() const { return ScanState(state.load()); }
    // The same in time independent of the depth: outPath holds the root's name and at most the last
    // `levels` levels (up to 64) of the directory being walked; outLeftOut tells whether levels
    // between them were left out (see nodePathTail).
    ScanState getProgress(std::string& outPath, uint64_t& outBytes, uint64_t& outRootNameLength, size_t levels,
                          bool& outLeftOut);

protected:
    void run() override;

private:
    class ImportRelay;
    class FoldGuard;

    void waitWhileBusy(); // under the mutex: until the worker has left SCANNING and CANCELING
    void map(const std::string& path);
    void mapSeveral(const std::vector<std::string>& paths);
    std::vector<LeftOutPath> leaveOutOverlaps(std::vector<std::string>& paths) const;
    void endPath();      // a path is mapped: the scan is finished unless more paths follow
    void endCancelled(); // a path's mapping was cancelled: the scan is over (mapSeveral ends it)
    void adopt(orvex::UniquePtr<FilesystemNode> tree); // under the mutex: appended to the summary
    void addProblems(ScanProblems&& problems);           // a stored scan's, joining the list's
    void mapFile(const std::string& path, uint64_t size);
    void mapTree(const std::string& path);
    void importTree(const std::string& path);
    void refoldScans();
    bool walk(FilesystemNode* root, DirectoryLister& lister, TreeFolding& folding);
    struct StreamFrame;
    bool stream(FilesystemNode* root, DirectoryLister& lister);
    bool streamChain(FilesystemNode* root, DirectoryLister& lister, std::deque<StreamFrame>& chain);
    void leaveOpenDirectory(std::deque<StreamFrame>& chain);
    void noteUnreadableFile(std::string_view name, FilesystemNode* directory, int error);
    void noteListing(const DirectoryLister::Listing* listing, const FilesystemNode* directory);
    void noteUnreadable(const FilesystemNode* node, int error);
    uint64_t add(uint64_t total, uint64_t size);
    bool canceling() const { return state.load() == CANCELING; }

    orvex::Mutex mutex;
    orvex::ConditionVariable wakeWorker;
    orvex::ConditionVariable scanDone;
    orvex::Atomic<int32_t> state { IDLE };
    std::vector<std::string> requestedPaths;
    std::vector<DirectoryLister::FileIdentity> leftOutFiles; // set between scans (setLeftOutFiles)
    // Links are followed within this many bytes of a requested path only (refreshDirectory's
    // root), else npos: the next request's, the current request's (both under the mutex), and the
    // worker's copy for the scan it runs.
    size_t nextFollowedLength = std::string::npos;
    size_t requestedFollowedLength = std::string::npos;
    size_t followedLength = std::string::npos;
    // While several paths are mapped: the summary (owned by `result`), which each path's tree
    // joins as it is mapped. Worker only.
    FilesystemNode* summaryNode = nullptr;
    // A stored scan's root under a summary and what its caption adds to its path (its time):
    // handed to ImportedScan when the scans finish. The root keeps its name, the scanned path.
    std::vector<std::pair<FilesystemNode*, std::string>> storedNames;
    // The roots of a list's scans that folded, each against the bytes seen by its own end: folded
    // again against the list's total when it ends (refoldScans). Worker only.
    std::vector<FilesystemNode*> foldedRoots;
    orvex::UniquePtr<FilesystemNode> result;
    orvex::Atomic<uint64_t> bytesMapped { 0 };
    orvex::Atomic<uintptr_t> currentDirectory { 0 };
    orvex::Atomic<uintptr_t> currentRoot { 0 }; // the tree's root, published before currentDirectory
    ScanListener* listener = nullptr;
    TreeImporter* importer = nullptr;
    ScanSink* sink = nullptr;
    orvex::Atomic<uint64_t> nodeBudget { TreeFolding::never };
    TreeFolding* folding = nullptr; // the walk's, while it runs
    // With a sink, the worker frees each directory it leaves, and a fold frees what it folds,
    // while the GUI thread may be reading the progress slot's chain: it frees them under this
    // mutex (the slot moved to a node that stays), and getProgress reads under it.
    orvex::Mutex chainMutex;
    ScanProblems scanProblems; // written by the worker while it scans
    ImportedScan importedScan; // likewise
    // The part of a tree an import built before it failed: the interface thread may still be
    // reading the progress from it, so it is destroyed by the interface thread's next call.
    orvex::UniquePtr<FilesystemNode> abandoned;
};
