// TreeImporter: reads a size tree that was stored in a file (a scan saved elsewhere, perhaps on a
// server) in place of walking a directory. A FileSizeMapper with an importer asks it about every
// regular file it is given to map; an importer that recognises the file builds the tree on the
// scanner's worker and tells the listener exactly what a walk would, in the same order, so the
// preview and the progress follow an import as they follow a scan.
#pragma once

#include "engine/core/UniquePtr.h"
#include "scan/FilesystemNode.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ScanListener;
class TreeFolding;
struct ScanProblems;

// Where an imported tree came from.
struct ImportedScan {
    std::string file;          // the file that was read
    bool hasTimestamp = false; // whether the file says when its scan was made
    uint64_t timestamp = 0;    // seconds since 1970
    // Of several scans under a summary (`file` then empty): the roots that were read from stored
    // scans, valid while the tree lives.
    std::vector<const FilesystemNode*> storedRoots;
    // For each of storedRoots, what its caption adds to its path (", scanned 2026-12-10 12:24"):
    // shown beside the path, never part of it.
    std::vector<std::string> storedNotes;
};

class TreeImporter {
public:
    virtual ~TreeImporter() = default;

    // Whether `path` (a regular file) holds a stored tree this importer reads. Cheap: it may look
    // at the first bytes only. Worker thread.
    virtual bool recognizes(const std::string& path) = 0;

    struct Outcome {
        orvex::UniquePtr<FilesystemNode> tree;    // the whole tree; null after a failure or a cancel
        orvex::UniquePtr<FilesystemNode> partial; // what was built before a failure or a cancel
        std::string failure;                      // "PATH: at byte N: reason" after a failure
    };

    // Builds the tree stored in `path`, telling `listener` as a walk would (directoryLeft for the
    // root included), polling `cancelled` often, and `folding` as TreeFolding asks of a builder.
    // The stored scan's own problems (directories it could not read, a saturated total) go to
    // `problems`, its origin to `origin`. Worker thread.
    virtual Outcome import(const std::string& path, ScanListener& listener, const std::function<bool()>& cancelled,
                           ScanProblems& problems, ImportedScan& origin, TreeFolding& folding) = 0;
};

// The text that labels an imported tree's root: the scanned path and, when the file says, the
// local time of the scan ("/srv/data, scanned 2026-12-08 10:14"); the path alone otherwise.
std::string storedScanCaption(std::string_view scannedPath, const ImportedScan& origin);

// The text that labels a finished tree's root in the chart: empty (the root's own name shows) for
// a complete scan made here; else the scanned path, a stored scan's time (storedScanCaption) and,
// when entries could not be read, how many, so that a short total is not taken for the whole
// ("/srv/data, 3 entries could not be read").
std::string rootCaption(std::string_view scannedPath, const ImportedScan& origin, const ScanProblems& problems);
