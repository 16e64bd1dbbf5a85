// ChartNavigation: a node is found by walking down from the root, one row per level. Within a row
// the entries are sorted by x, and a directory's children lie inside its edges, so each level is a
// bisection to the parent's left edge and a walk over the parent's drawn children.
#include "icicle/components/ChartNavigation.h"

#include "icicle/IcicleNodeLookup.h"

#include <algorithm>
#include <vector>

bool ChartNavigation::isWithin(const FilesystemNode* node, const FilesystemNode* ancestor)
{
    for (; node; node = node->parent) {
        if (node == ancestor)
            return true;
    }
    return false;
}

std::optional<ChartNavigation::Place> ChartNavigation::locate(const FilesystemNode* node) const
{
    const std::vector<IcicleNodeLookup::Row>& rows = lookup->rows();
    if (!node || rows.empty() || rows[0].empty())
        return std::nullopt;
    std::vector<const FilesystemNode*> chain;
    for (const FilesystemNode* up = node; up; up = up->parent)
        chain.push_back(up);
    if (chain.back() != lookup->root() || rows[0][0].node != lookup->root() || chain.size() > rows.size())
        return std::nullopt;

    Place place { 0, 0 };
    for (size_t level = chain.size() - 1; level-- > 0;) {
        const IcicleNodeLookup::Row& parentRow = rows[size_t(place.row)];
        const float left = parentRow[place.index].x;
        const float right = parentRow[place.index + 1].x; // a cell's right edge is always recorded
        const IcicleNodeLookup::Row& row = rows[size_t(place.row) + 1];
        auto entry = std::lower_bound(row.begin(), row.end(), left,
                                      [](const IcicleNodeLookup::RowEntry& e, float x) { return e.x < x; });
        while (entry != row.end() && entry->x < right && entry->node != chain[level])
            ++entry;
        if (entry == row.end() || !(entry->x < right))
            return std::nullopt;
        place = { place.row + 1, size_t(entry - row.begin()) };
    }
    return place;
}

ChartCell ChartNavigation::cellAt(Place place) const
{
    const IcicleNodeLookup::Row& row = lookup->rows()[size_t(place.row)];
    const FilesystemNode* node = row[place.index].node;
    return { place.row, double(row[place.index].x), double(row[place.index + 1].x),
             node->type == FilesystemNode::Type::FILE };
}

std::optional<ChartCell> ChartNavigation::cellOf(const FilesystemNode* node) const
{
    const std::optional<Place> place = locate(node);
    if (!place)
        return std::nullopt;
    return cellAt(*place);
}

const FilesystemNode* ChartNavigation::sibling(const FilesystemNode* node, int step) const
{
    const std::optional<Place> place = locate(node);
    if (!place || !node->parent || step == 0)
        return nullptr;
    const IcicleNodeLookup::Row& row = lookup->rows()[size_t(place->row)];
    // Gaps (null entries) are skipped; the first node of another parent ends the search, since a
    // directory's children are contiguous in the row.
    int remaining = step < 0 ? -step : step;
    const FilesystemNode* found = nullptr;
    for (size_t i = place->index; remaining > 0;) {
        if (step < 0 ? i == 0 : i + 1 >= row.size())
            return nullptr;
        i = step < 0 ? i - 1 : i + 1;
        const FilesystemNode* candidate = row[i].node;
        if (!candidate)
            continue;
        if (candidate->parent != node->parent)
            return nullptr;
        found = candidate;
        --remaining;
    }
    return found;
}

const FilesystemNode* ChartNavigation::largestChild(const FilesystemNode* node) const
{
    const std::optional<Place> place = locate(node);
    const std::vector<IcicleNodeLookup::Row>& rows = lookup->rows();
    if (!place || size_t(place->row) + 1 >= rows.size())
        return nullptr;
    // The drawn children are the entries under the node's edges one row down.
    const ChartCell cell = cellAt(*place);
    const IcicleNodeLookup::Row& row = rows[size_t(place->row) + 1];
    auto entry = std::lower_bound(row.begin(), row.end(), float(cell.x0),
                                  [](const IcicleNodeLookup::RowEntry& e, float x) { return e.x < x; });
    const FilesystemNode* best = nullptr;
    for (; entry != row.end() && double(entry->x) < cell.x1; ++entry) {
        const FilesystemNode* child = entry->node;
        if (child && child->parent == node && (!best || child->size > best->size))
            best = child;
    }
    return best;
}
