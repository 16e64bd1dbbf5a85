// TreeCounts: a post-order walk with an explicit stack of the open folders; each folder's counts
// are final when the walk leaves it, and are then added to its parent's frame. Files are counted
// where they are met and never pushed, so the stack holds only the chain of open folders.
#include "scan/TreeCounts.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <system_error>
#include <thread>
#include <cassert>
#include <cstddef>

namespace {

constexpr size_t MINIMUM_SLOTS = 64;
// Children whose nodes are requested ahead of the one being read: the tree is read straight after
// the scan built it on another thread, so most nodes are cache misses, and asking for several at
// once lets them overlap instead of each one waiting for the last.
constexpr int64_t PREFETCH_DISTANCE = 8;

inline void prefetch(const void* address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

} // namespace

namespace {

struct Frame {
    const FilesystemNode* folder;
    int64_t next; // the child to visit next
    TreeCounts::Counts counts;
};

} // namespace

// Counts below `folder` into `out` (its entry last, its subfolders' before it) and returns its
// counts. Iterative, so any depth is safe.
TreeCounts::Counts TreeCounts::countSubtree(const FilesystemNode* folder, std::vector<Entry>& out)
{
    std::vector<Frame> open { { folder, 0, {} } };
    for (int64_t i = 0; i < std::min<int64_t>(folder->children.count, PREFETCH_DISTANCE); ++i)
        prefetch(folder->children[i]);
    Counts last;
    while (!open.empty()) {
        Frame& top = open.back();
        if (top.next == top.folder->children.count) {
            const Frame done = top;
            open.pop_back();
            out.push_back({ done.folder, done.counts });
            last = done.counts;
            if (!open.empty()) {
                open.back().counts.files += done.counts.files;
                open.back().counts.folders += done.counts.folders + 1;
            }
            continue;
        }
        const FilesystemNode::Children& children = top.folder->children;
        if (top.next + PREFETCH_DISTANCE < children.count)
            prefetch(children[top.next + PREFETCH_DISTANCE]);
        const FilesystemNode* child = children[top.next++];
        if (child->type == FilesystemNode::Type::DIRECTORY) {
            for (int64_t i = 0; i < std::min<int64_t>(child->children.count, PREFETCH_DISTANCE); ++i)
                prefetch(child->children[i]);
            open.push_back({ child, 0, {} }); // `top` may dangle from here on
        } else if (const FoldedEntry* folded = asFolded(child)) {
            top.counts.files += folded->files;
            top.counts.folders += folded->folders;
        } else {
            top.counts.files += 1;
        }
    }
    return last;
}

TreeCounts::TreeCounts(const FilesystemNode* root)
{
    if (!root || root->type != FilesystemNode::Type::DIRECTORY)
        return;
    // The pass is bound by memory latency (most nodes are cache misses right after the scan), so
    // a second thread takes the root's subfolders as the first does: each claims the next one.
    // The entries of each thread stay in post-order within each subfolder.
    struct Share {
        std::vector<Entry> entries;
        Counts counts;
    };
    const FilesystemNode::Children& top = root->children;
    std::atomic<int64_t> nextChild { 0 };
    auto work = [&](Share& share) {
        for (int64_t i; (i = nextChild.fetch_add(1)) < top.count;) {
            const FilesystemNode* child = top[i];
            if (const FoldedEntry* folded = asFolded(child)) {
                share.counts.files += folded->files;
                share.counts.folders += folded->folders;
                continue;
            }
            if (child->type != FilesystemNode::Type::DIRECTORY) {
                share.counts.files += 1;
                continue;
            }
            const Counts below = countSubtree(child, share.entries);
            share.counts.files += below.files;
            share.counts.folders += below.folders + 1;
        }
    };
    Share first, second;
    std::thread helper;
    if (top.count > 1 && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread(work, std::ref(second));
        } catch (const std::system_error&) {
            // No second thread: this one does it all.
        }
    }
    work(first);
    if (helper.joinable())
        helper.join();
    entries = std::move(first.entries);
    entries.insert(entries.end(), second.entries.begin(), second.entries.end());
    entries.push_back({ root, { first.counts.files + second.counts.files, first.counts.folders + second.counts.folders } });

    // The table is sized once for every folder: no rehashing while it fills.
    assert(entries.size() < (size_t(1) << 31) && "TreeCounts: more folders than a 32-bit index holds");
    size_t slots = MINIMUM_SLOTS;
    while (slots < 2 * entries.size())
        slots *= 2;
    table.assign(slots, 0);
    for (size_t i = 0; i < entries.size(); ++i)
        table[slotOf(entries[i].node)] = uint32_t(i + 1);
}

TreeCounts::Counts TreeCounts::below(const FilesystemNode* node) const
{
    if (!node || table.empty())
        return {};
    const uint32_t index = table[slotOf(node)];
    return index ? entries[index - 1].counts : Counts {};
}

size_t TreeCounts::slotOf(const FilesystemNode* node) const
{
    // Nodes are at least 8-byte aligned: drop the low bits, then mix the rest (Fibonacci hashing).
    const uint64_t key = uint64_t(reinterpret_cast<uintptr_t>(node)) >> 3;
    const size_t mask = table.size() - 1;
    size_t slot = size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    while (table[slot] && entries[table[slot] - 1].node != node)
        slot = (slot + 1) & mask;
    return slot;
}
