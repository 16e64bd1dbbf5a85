// TreeCounts: how many files and folders lie below each folder of a finished size tree, counted in
// one iterative pass (any depth; two threads share the root's subfolders) and kept in a table
// keyed by the node's address, so a details line can ask for any folder in O(1). The node itself keeps no count. Relies on the tree staying
// alive and unchanged while the counts are read. Main thread (any thread that owns the tree).
#pragma once

#include "scan/FilesystemNode.h"

#include <cstdint>
#include <vector>

class TreeCounts {
public:
    struct Counts {
        uint64_t files = 0;   // every file anywhere below the folder
        uint64_t folders = 0; // every folder below it, the folder itself not included
        bool operator==(const Counts&) const = default;
    };

    TreeCounts() = default;
    // Counts the tree under `root` (null: an empty table).
    explicit TreeCounts(const FilesystemNode* root);

    // The counts below `node`; zero for a file, a null node or a node of another tree.
    Counts below(const FilesystemNode* node) const;
    // Folders recorded, the root included.
    uint64_t folderCount() const { return entries.size(); }

private:
    struct Entry {
        const FilesystemNode* node;
        Counts counts;
    };

    static Counts countSubtree(const FilesystemNode* folder, std::vector<Entry>& out);
    // The table's slot for `node`: the one holding it, or the empty one where it would go.
    size_t slotOf(const FilesystemNode* node) const;

    std::vector<Entry> entries; // every folder, each subfolder of the root in post-order, the root last
    // Open addressing with linear probing over 1 + an index into `entries` (0: empty), a
    // power-of-two size at most half full. Four bytes a slot keep the table in cache while it is
    // filled, which costs more than the walk itself in a tree of folders only.
    std::vector<uint32_t> table;
};
