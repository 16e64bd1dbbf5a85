// ProblemsBelow: each listed node counts itself, then every folder's entry takes in its children's
// deepest first, so a chain of any depth with an unreadable entry on every level costs a sort of
// the folders above them, not a walk to the root from each.
#include "scan/ProblemsBelow.h"

#include <algorithm>
#include <utility>
#include <vector>

ProblemsBelow::ProblemsBelow(const ScanProblems& problems) : listed(problems.unlistedNodes)
{
    for (size_t i = 0; i < listed.size(); ++i) {
        const FilesystemNode* node = listed[i];
        if (!node)
            continue;
        Entry& own = entries[node];
        (node->type == FilesystemNode::Type::DIRECTORY ? own.folders : own.files) += 1;
        own.first = std::min(own.first, i);
        // Every key's folders above are keys too, so the walk stops at the first one known.
        for (const FilesystemNode* up = node->parent; up && entries.emplace(up, Entry {}).second; up = up->parent) {
        }
    }
    sumUpwards();
}

void ProblemsBelow::sumUpwards()
{
    // Depths first: walk up to a node whose depth is known (or the root), then number the way back.
    std::vector<const FilesystemNode*> way;
    std::vector<std::pair<int64_t, const FilesystemNode*>> byDepth;
    byDepth.reserve(entries.size());
    for (auto& [node, entry] : entries) {
        way.clear();
        const FilesystemNode* up = node;
        int64_t depth = -1;
        for (; up; up = up->parent) {
            const Entry& known = entries.at(up);
            if (known.depth >= 0) {
                depth = known.depth;
                break;
            }
            way.push_back(up);
        }
        for (size_t i = way.size(); i-- > 0;)
            entries.at(way[i]).depth = ++depth;
        byDepth.emplace_back(entry.depth, node);
    }
    std::sort(byDepth.begin(), byDepth.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [depth, node] : byDepth) {
        if (!node->parent)
            continue;
        const Entry& child = entries.at(node);
        Entry& parent = entries.at(node->parent);
        parent.folders += child.folders;
        parent.files += child.files;
        parent.first = std::min(parent.first, child.first);
    }
}

ScanProblems ProblemsBelow::under(const FilesystemNode* folder, const ScanProblems& whole) const
{
    if (!folder || !folder->parent || listed.empty())
        return whole;
    ScanProblems scoped;
    scoped.saturated = whole.saturated;
    scoped.importFailure = whole.importFailure;
    const auto found = entries.find(folder);
    if (found == entries.end())
        return scoped;
    const Entry& entry = found->second;
    scoped.unlistedDirectories = entry.folders;
    scoped.unreadableFiles = entry.files;
    scoped.firstUnlistedPath = nodePath(listed[entry.first]);
    // Only the scan's first entry has its reason kept.
    if (scoped.firstUnlistedPath == whole.firstUnlistedPath)
        scoped.firstError = whole.firstError;
    return scoped;
}
