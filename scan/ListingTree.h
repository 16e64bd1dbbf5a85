// The listings a DirectoryLister hands to the walk, as one tree that mirrors the directories read
// so far: each listing holds its entries (regular files with their size, and directories) and one
// child listing per directory entry. The platform's own state of a listing (a descriptor, a wide
// path) is its ListingExtra, from the platform folder's ListingExtra.h.
#pragma once

#include "ListingExtra.h"
#include "scan/DirectoryLister.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// One entry as listed; the name lives in the listing's `names`. A file whose size could not be
// read keeps its errno value in `size` (the flag sits in the padding, so entries stay 16 bytes).
struct RawEntry {
    uint64_t size;
    uint32_t nameOffset;
    uint16_t nameLength;
    bool directory;
    bool unreadable;
};

class DirectoryLister::Listing {
public:
    enum class State { PENDING, CLAIMED, DONE };

    Listing* parent = nullptr;
    std::string_view name; // in the parent's name bytes; the whole path for the root
    uint32_t depth = 0;    // the root is 0
    uint32_t index = 0;    // among the parent's subdirectories
    State state = State::PENDING;
    int error = 0;         // why the directory could not be listed completely (errno), else 0
    std::vector<RawEntry> entries;
    std::vector<char> names;
    std::vector<std::unique_ptr<Listing>> subdirectories;
    size_t bytes = 0;      // memory() when published, for the read-ahead budget
    ListingExtra extra;

    size_t memory() const
    {
        return entries.capacity() * sizeof(RawEntry) + names.capacity() + extra.memory()
            + subdirectories.size() * (sizeof(Listing) + sizeof(void*));
    }

    // Appends an entry whose name is `name`.
    void add(std::string_view entryName, bool directory, uint64_t size)
    {
        entries.push_back({ size, uint32_t(names.size()), uint16_t(entryName.size()), directory, false });
        names.insert(names.end(), entryName.begin(), entryName.end());
    }
    // Appends a file that is listed but whose size could not be read, and why (an errno value).
    void addUnreadable(std::string_view entryName, int error)
    {
        entries.push_back({ uint64_t(error), uint32_t(names.size()), uint16_t(entryName.size()), false, true });
        names.insert(names.end(), entryName.begin(), entryName.end());
    }

    // Once every entry is read: one child listing per directory entry, in listing order.
    void addSubdirectories()
    {
        for (const RawEntry& entry : entries) {
            if (!entry.directory)
                continue;
            auto sub = std::make_unique<Listing>();
            sub->parent = this;
            sub->name = std::string_view(names.data() + entry.nameOffset, entry.nameLength);
            sub->depth = depth + 1;
            sub->index = uint32_t(subdirectories.size());
            subdirectories.push_back(std::move(sub));
        }
    }
};

// Walk order: climb to the same depth, then to the children of the nearest common ancestor, and
// compare their places. Listings waiting to be read have all their ancestors alive, and never
// include an ancestor of one another.
struct WalkOrder {
    bool operator()(const DirectoryLister::Listing* a, const DirectoryLister::Listing* b) const
    {
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

// Frees a tree of listings without recursing (an abandoned chain of listings can be as deep as the
// directory tree), calling `each` on every listing before it goes.
template <class Each>
void destroyListings(std::unique_ptr<DirectoryLister::Listing> root, Each&& each)
{
    std::vector<std::unique_ptr<DirectoryLister::Listing>> doomed;
    doomed.push_back(std::move(root));
    while (!doomed.empty()) {
        std::unique_ptr<DirectoryLister::Listing> listing = std::move(doomed.back());
        doomed.pop_back();
        each(*listing);
        for (auto& sub : listing->subdirectories)
            doomed.push_back(std::move(sub));
    }
}
