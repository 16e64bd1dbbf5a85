// TreeFolding: the bookkeeping of the open folders and the two folds. A fold is planned first
// (summaries made and filled, the new child array allocated), so that running out of memory
// leaves the tree as it was; then the children move and what was folded is destroyed at once.
// While the builder holds a NodePool::Recycling, that memory goes straight to the next nodes.
#include "scan/TreeFolding.h"

#include <algorithm>
#include <cassert>
#include <new>

using orvex::UniquePtr;

void TreeFolding::folderOpened(FilesystemNode* folder) { open.push_back({ folder, false }); }

void TreeFolding::keep(const FilesystemNode* node)
{
    kept.insert(node);
    if (!open.empty()) // else a single file's tree: nothing to fold
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
    if (!keepsSomething && folder->size < below)
        planContents(folder);
    else
        findRuns(folder, keepsSomething, below);
    if (!runs.empty())
        fold(folder);
    // Again over the whole tree once it has grown by an eighth since the last pass: the tree then
    // stays within an eighth of what the threshold of the moment leaves, at the cost of at most
    // about nine times the nodes that were ever kept. And once at the end whatever its size, since
    // every folder folded or judged before then was judged against a smaller threshold than the
    // final one: a tree of any size ends with what the final total can draw.
    if (open.empty() || nodes >= std::max(nextRefold, refoldFrom)) {
        refold(open.empty() ? folder : open.front().folder, below);
        nextRefold = nodes + nodes / 8;
    }
}

void TreeFolding::refoldAgainst(FilesystemNode* root, uint64_t total, const std::vector<const FilesystemNode*>& unreadable)
{
    open.clear();
    kept.clear();
    for (const FilesystemNode* node : unreadable) {
        const FilesystemNode* above = node;
        while (above && above != root)
            above = above->parent;
        if (!above)
            continue; // another scan's
        for (above = node; above != root; above = above->parent)
            kept.insert(above);
        kept.insert(root);
    }
    nodes = 0;
    walkStack.assign(1, root);
    while (!walkStack.empty()) {
        const FilesystemNode* next = walkStack.back();
        walkStack.pop_back();
        nodes += 1;
        for (int64_t i = 0; i < next->children.count; ++i)
            walkStack.push_back(next->children[i]);
    }
    refold(root, threshold(total));
}

bool TreeFolding::isKept(const FilesystemNode* node) const { return !kept.empty() && kept.count(node) > 0; }

// Whether one summary in place of children [first, end) makes the tree smaller: two children or
// more, or one folder with something in it (not one file, nor one summary already).
bool TreeFolding::worthASummary(const FilesystemNode::Children& children, int64_t first, int64_t end)
{
    return end - first >= 2 || (end - first == 1 && children[first]->children.count > 0);
}

// The whole contents as one run, when that is worth a summary.
void TreeFolding::planContents(const FilesystemNode* folder)
{
    if (worthASummary(folder->children, 0, folder->children.count))
        runs.push_back({ 0, folder->children.count });
}

// Folds every complete folder again against `below`: depth first from the root, each folder's
// contents at once where it is small enough, else its runs once its children are done. The open
// folders (the chain being filled) are only passed through.
void TreeFolding::refold(FilesystemNode* root, uint64_t below)
{
    visits.assign(1, { root, 0 });
    while (!visits.empty()) {
        Visit& top = visits.back();
        FilesystemNode* folder = top.folder;
        const size_t depth = visits.size() - 1;
        const bool isOpen = depth < open.size() && open[depth].folder == folder;
        if (top.next == folder->children.count) {
            visits.pop_back();
            if (!isOpen) {
                runs.clear();
                findRuns(folder, isKept(folder), below);
                if (!runs.empty())
                    fold(folder);
            }
            continue;
        }
        FilesystemNode* child = folder->children[top.next++];
        if (child->type != FilesystemNode::Type::DIRECTORY || child->children.count == 0)
            continue;
        const bool childOpen = depth + 1 < open.size() && open[depth + 1].folder == child;
        // A small child of a complete folder goes whole into one of its runs.
        if (!childOpen && !isOpen && child->size < below && !isKept(child))
            continue;
        if (!childOpen && child->size < below && !isKept(child)) {
            runs.clear();
            planContents(child);
            if (!runs.empty())
                fold(child);
            continue;
        }
        visits.push_back({ child, 0 }); // `top` may dangle from here on
    }
}

bool TreeFolding::foldable(const FilesystemNode* child, bool checkKept, uint64_t below) const
{
    return child->size < below && !(checkKept && isKept(child));
}

// Each maximal run of foldable children that is worth a summary.
void TreeFolding::findRuns(const FilesystemNode* folder, bool checkKept, uint64_t below)
{
    const FilesystemNode::Children& children = folder->children;
    for (int64_t i = 0; i < children.count;) {
        int64_t end = i;
        while (end < children.count && foldable(children[end], checkKept, below))
            ++end;
        if (worthASummary(children, i, end))
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
