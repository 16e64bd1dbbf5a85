// TreeCounts: a post-order walk with an explicit stack of the open folders; each folder's counts
// are final when the walk leaves it, and are then added to its parent's frame. Files are counted
// where they are met and never pushed, so the stack holds only the chain of open folders.
#include "scan/TreeCounts.h"

#include <cstddef>

namespace {

constexpr size_t INITIAL_SLOTS = 64;

} // namespace

TreeCounts::TreeCounts(const FilesystemNode* root)
{
    if (!root || root->type != FilesystemNode::Type::DIRECTORY)
        return;
    struct Frame {
        const FilesystemNode* folder;
        int64_t next; // the child to visit next
        Counts counts;
    };
    std::vector<Frame> open { { root, 0, {} } };
    while (!open.empty()) {
        Frame& top = open.back();
        if (top.next == top.folder->children.count) {
            const Frame done = top;
            open.pop_back();
            insert(done.folder, done.counts);
            if (!open.empty()) {
                open.back().counts.files += done.counts.files;
                open.back().counts.folders += done.counts.folders + 1;
            }
            continue;
        }
        const FilesystemNode* child = top.folder->children[top.next++];
        if (child->type == FilesystemNode::Type::DIRECTORY)
            open.push_back({ child, 0, {} }); // `top` may dangle from here on
        else
            top.counts.files += 1;
    }
}

TreeCounts::Counts TreeCounts::below(const FilesystemNode* node) const
{
    if (!node || slots.empty())
        return {};
    const Slot& slot = slots[slotOf(node)];
    return slot.node ? slot.counts : Counts {};
}

// The slot holding `node`, or the empty one where it would go.
size_t TreeCounts::slotOf(const FilesystemNode* node) const
{
    // Nodes are at least 8-byte aligned: drop the low bits, then mix the rest (Fibonacci hashing).
    const uint64_t key = uint64_t(reinterpret_cast<uintptr_t>(node)) >> 3;
    const size_t mask = slots.size() - 1;
    size_t index = size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    while (slots[index].node && slots[index].node != node)
        index = (index + 1) & mask;
    return index;
}

void TreeCounts::insert(const FilesystemNode* node, Counts counts)
{
    if ((used + 1) * 2 > slots.size())
        grow();
    Slot& slot = slots[slotOf(node)];
    if (!slot.node)
        used += 1;
    slot = { node, counts };
}

void TreeCounts::grow()
{
    std::vector<Slot> old = std::move(slots);
    slots.assign(old.empty() ? INITIAL_SLOTS : old.size() * 2, Slot {});
    for (const Slot& slot : old)
        if (slot.node)
            slots[slotOf(slot.node)] = slot;
}
