// ProblemsBelow: what a scan could not read, seen from each folder of its tree. For every folder
// that holds an entry that could not be read (a folder that could not be listed, a file whose
// size could not be read) it keeps how many of each kind lie in its subtree and the first of them
// in walk order, so the details bar can speak of the focused folder alone and the chart can mark
// the way down to each one. Built once per finished tree from ScanProblems::unlistedNodes; relies
// on the tree staying alive and unchanged. Main thread (any thread that owns the tree).
#pragma once

#include "scan/FileSizeMapper.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class ProblemsBelow {
public:
    ProblemsBelow() = default;
    // Gathers `problems.unlistedNodes` and every folder above each of them.
    explicit ProblemsBelow(const ScanProblems& problems);

    // The scan's problems as seen from `folder` (`whole` is the scan's own, the ones this object
    // was built from): how many of each kind lie at or below it, the first of them and, when that
    // is the scan's first, its error. At a tree's root, for a null folder and for a scan that kept
    // no nodes (counts only), `whole` itself. The result's node list is left empty.
    ScanProblems under(const FilesystemNode* folder, const ScanProblems& whole) const;
    // Whether `node` could not be read or holds at least one entry below it that could not.
    bool holds(const FilesystemNode* node) const { return entries.count(node) != 0; }

private:
    struct Entry {
        uint64_t folders = 0; // folders that could not be listed, at or below the node
        uint64_t files = 0;   // files whose size could not be read, at or below it
        size_t first = SIZE_MAX; // the earliest of them in the scan's list (walk order)
        int64_t depth = -1;      // below the tree's root; -1 while not yet known
    };
    void sumUpwards();

    std::unordered_map<const FilesystemNode*, Entry> entries;
    std::vector<const FilesystemNode*> listed; // the scan's list, for the first path
};
