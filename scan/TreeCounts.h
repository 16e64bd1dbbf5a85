// TreeCounts: how many files and folders lie below each folder of a finished size tree, counted in
// one iterative pass (any depth) and kept in a table keyed by the node's address, so a details
// line can ask for any folder in O(1). The node itself keeps no count. Relies on the tree staying
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
    uint64_t folderCount() const { return used; }

private:
    struct Slot {
        const FilesystemNode* node = nullptr; // null: empty
        Counts counts;
    };

    void insert(const FilesystemNode* node, Counts counts);
    void grow();
    size_t slotOf(const FilesystemNode* node) const;

    // Open addressing with linear probing, a power-of-two size, at most half full.
    std::vector<Slot> slots;
    uint64_t used = 0;
};
