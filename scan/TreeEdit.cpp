// TreeEdit: swapping a folder's child array with a fresh scan's, taking a child out, and summing
// the ancestors again (a sum that saturated cannot be undone by subtraction, so each ancestor adds
// its children once more: the cost is the children along the path, not the tree).
#include "scan/TreeEdit.h"

#include <algorithm>
#include <cassert>
#include <utility>

using orvex::UniquePtr;

namespace TreeEdit {

namespace {

void reparentChildren(FilesystemNode* node)
{
    for (int64_t i = 0; i < node->children.count; ++i)
        node->children[i]->parent = node;
}

bool within(const FilesystemNode* node, const FilesystemNode* ancestor)
{
    for (; node; node = node->parent)
        if (node == ancestor)
            return true;
    return false;
}

} // namespace

void sumAncestors(FilesystemNode* folder)
{
    for (; folder; folder = folder->parent) {
        uint64_t total = 0;
        for (int64_t i = 0; i < folder->children.count; ++i)
            total = saturatingAdd(total, folder->children[i]->size);
        folder->size = total;
    }
}

UniquePtr<FilesystemNode> replaceContents(FilesystemNode* folder, UniquePtr<FilesystemNode> fresh)
{
    assert(folder && fresh && "TreeEdit::replaceContents: a folder and its new contents");
    std::swap(folder->children, fresh->children);
    std::swap(folder->type, fresh->type);
    std::swap(folder->size, fresh->size);
    reparentChildren(folder);
    reparentChildren(fresh.get()); // the old contents, destroyed through their own parent links
    fresh->parent = nullptr;
    if (folder->parent)
        sumAncestors(folder->parent);
    return fresh;
}

UniquePtr<FilesystemNode> detach(FilesystemNode* node)
{
    FilesystemNode* parent = node ? node->parent : nullptr;
    assert(parent && "TreeEdit::detach: the root cannot be taken out");
    FilesystemNode::Children& siblings = parent->children;
    int64_t index = 0;
    while (index < siblings.count && siblings[index] != node)
        ++index;
    assert(index < siblings.count && "TreeEdit::detach: the node is not among its parent's children");
    UniquePtr<FilesystemNode> taken = std::move(siblings.elements[index]);
    for (int64_t i = index + 1; i < siblings.count; ++i)
        siblings.elements[i - 1] = std::move(siblings.elements[i]);
    siblings.count -= 1;
    siblings.elements[siblings.count].~UniquePtr();
    taken->parent = nullptr;
    sumAncestors(parent);
    return taken;
}

const FilesystemNode* liftOutOf(const FilesystemNode* node, const FilesystemNode* subtree, const FilesystemNode* to)
{
    return node && within(node, subtree) ? to : node;
}

void forgetProblemsIn(ScanProblems& problems, const FilesystemNode* subtree, bool keepRoot)
{
    std::vector<const FilesystemNode*>& nodes = problems.unlistedNodes;
    nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                               [&](const FilesystemNode* node) { return within(node, subtree) && !(keepRoot && node == subtree); }),
                nodes.end());
}

void joinProblems(ScanProblems& problems, const FilesystemNode* root, const ScanProblems* added,
                  const FilesystemNode* addedRoot, const FilesystemNode* into)
{
    std::vector<const FilesystemNode*>& nodes = problems.unlistedNodes;
    const FilesystemNode* firstAdded = nullptr;
    if (added) {
        for (const FilesystemNode* node : added->unlistedNodes) {
            if (node == addedRoot)
                node = into;
            if (!firstAdded)
                firstAdded = node;
            if (std::find(nodes.begin(), nodes.end(), node) == nodes.end())
                nodes.push_back(node);
        }
    }
    problems.unlistedDirectories = problems.unreadableFiles = 0;
    for (const FilesystemNode* node : nodes)
        (node->type == FilesystemNode::Type::DIRECTORY ? problems.unlistedDirectories : problems.unreadableFiles) += 1;
    if (nodes.empty()) {
        problems.firstUnlistedPath.clear();
        problems.firstError = 0;
    } else if (const std::string first = nodePath(nodes.front()); first != problems.firstUnlistedPath) {
        // The first one left, or the fresh scan's first, whose reason is known.
        problems.firstUnlistedPath = first;
        problems.firstError = nodes.front() == firstAdded ? added->firstError : 0;
    }
    problems.rootUnlisted = std::find(nodes.begin(), nodes.end(), root) != nodes.end();
    problems.saturated = root && root->size == saturatedSize;
}

} // namespace TreeEdit
