// TreeFolding: the bookkeeping of the open folders and the two folds. A fold is planned first
// (summaries made and filled, the new child array allocated), so that running out of memory
// leaves the tree as it was; then the children move and what was folded is destroyed at once.
// While the builder holds a NodePool::Recycling, that memory goes straight to the next nodes.
#include "scan/TreeFolding.h"

#include <algorithm>
#include <cassert>
#include <new>

using orvex::UniquePtr;

void TreeFolding::folderOpened(const FilesystemNode* folder) { open.push_back({ folder, false }); }

void TreeFolding::keep(const FilesystemNode* node)
{
    assert(!open.empty() && "TreeFolding::keep: only inside an open folder");
    kept.insert(node);
    open.back().keepsSomething = true;
}

void TreeFolding::folderClosed(FilesystemNode* folder, uint64_t seen)
{
    assert(!open.empty() && open.back().folder == folder && "TreeFolding::folderClosed: not the innermost open folder");
    const bool keepsSomething = open.back().keepsSomething;
    open.pop_back();
    if (keepsSomething) {
        kept.insert(folder);
        if (!open.empty())
            open.back().keepsSomething = true;
    }
    if (!folding())
        return;
    const uint64_t below = threshold(seen);
    runs.clear();
    if (!keepsSomething && folder->size < below) {
        // The whole contents, unless that is one file or one summary already.
        const FilesystemNode::Children& children = folder->children;
        if (children.count > 1 || (children.count == 1 && children[0]->children.count > 0))
            runs.push_back({ 0, children.count });
    } else {
        findRuns(folder, keepsSomething, below);
    }
    if (!runs.empty())
        fold(folder);
}

bool TreeFolding::foldable(const FilesystemNode* child, bool checkKept, uint64_t below) const
{
    return child->size < below && !(checkKept && kept.count(child));
}

// Each maximal run of foldable children that a summary makes smaller: two children or more, or
// one folder with something in it.
void TreeFolding::findRuns(const FilesystemNode* folder, bool checkKept, uint64_t below)
{
    const FilesystemNode::Children& children = folder->children;
    for (int64_t i = 0; i < children.count;) {
        int64_t end = i;
        while (end < children.count && foldable(children[end], checkKept, below))
            ++end;
        if (end - i >= 2 || (end - i == 1 && children[i]->children.count > 0))
            runs.push_back({ i, end });
        i = std::max(end, i + 1);
    }
}

// Adds `node` and everything below it to `entry`'s counts; returns how many nodes that is.
uint64_t TreeFolding::tally(const FilesystemNode* node, FoldedEntry& entry)
{
    uint64_t count = 0;
    walkStack.assign(1, node);
    while (!walkStack.empty()) {
        const FilesystemNode* next = walkStack.back();
        walkStack.pop_back();
        count += 1;
        if (const FoldedEntry* folded = asFolded(next)) {
            entry.files += folded->files;
            entry.folders += folded->folders;
        } else if (next->type == FilesystemNode::Type::FILE) {
            entry.files += 1;
        } else {
            entry.folders += 1;
            for (int64_t i = 0; i < next->children.count; ++i)
                walkStack.push_back(next->children[i]);
        }
    }
    return count;
}

void TreeFolding::fold(FilesystemNode* folder)
{
    FilesystemNode::Children& children = folder->children;
    // Plan: one filled summary a run, and the new array.
    summaries.clear();
    summaries.reserve(runs.size());
    uint64_t folded = 0;
    int64_t newCount = children.count;
    for (const Run& run : runs) {
        summaries.emplace_back(new FoldedEntry);
        auto& summary = static_cast<FoldedEntry&>(*summaries.back());
        summary.parent = folder;
        for (int64_t i = run.first; i < run.end; ++i) {
            const FilesystemNode* child = children[i];
            const FoldedEntry* entry = asFolded(child);
            summary.items += entry ? entry->items : 1;
            summary.largest = std::max(summary.largest, entry ? entry->largest : child->size);
            summary.size = saturatingAdd(summary.size, child->size);
            folded += tally(child, summary);
        }
        newCount -= run.end - run.first - 1;
    }
    UniquePtr<FilesystemNode>* elements = FilesystemNode::allocateChildArray(newCount);
    // Move: nothing below throws.
    int64_t at = 0;
    size_t next = 0;
    for (int64_t i = 0; i < children.count;) {
        if (next < runs.size() && runs[next].first == i) {
            new (&elements[at++]) UniquePtr<FilesystemNode>(std::move(summaries[next]));
            i = runs[next++].end;
        } else {
            new (&elements[at++]) UniquePtr<FilesystemNode>(std::move(children.elements[i++]));
        }
    }
    assert(at == newCount);
    if (guard)
        guard->lock(folder);
    folder->installChildren(elements, newCount, newCount); // destroys what was folded
    folder->holdsFolded = true;
    if (guard)
        guard->unlock();
    nodes = nodes - folded + runs.size();
}
