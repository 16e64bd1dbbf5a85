// Row entries sorted by x per row; look-ups bisect one row.
#include "icicle/IcicleNodeLookup.h"

#include "icicle/GeometryVertex.h"

#include <algorithm>
#include <cmath>
#include <limits>

void IcicleNodeLookup::assign(orvex::UniquePtr<FilesystemNode> root, std::vector<Row> rows)
{
    // The rows point into the old tree: drop them first.
    rowList = std::move(rows);
    smallItems = {};
    tree = std::move(root);
}

void IcicleNodeLookup::recordCell(std::vector<Row>& rows, int32_t row, float x0, float x1, FilesystemNode* node)
{
    if (rows.size() < size_t(row) + 1)
        rows.resize(size_t(row) + 1);
    if (!(x0 < x1))
        return; // edges collapsed to one float: nothing to find there
    Row& entries = rows[size_t(row)];
    if (entries.empty() || entries.back().x != x0)
        entries.push_back({ x0, row, node });
    else
        entries.back().node = node; // the previous cell's right edge is this cell's left edge
    entries.push_back({ x1, row, nullptr });
}

FilesystemNode* IcicleNodeLookup::findInRow(int64_t row, double x) const
{
    if (row < 0 || uint64_t(row) >= rowList.size())
        return nullptr;
    const Row& entries = rowList[size_t(row)];
    auto after = std::upper_bound(entries.begin(), entries.end(), x,
                                  [](double value, const RowEntry& entry) { return value < double(entry.x); });
    if (after == entries.begin())
        return nullptr;
    return std::prev(after)->node;
}

FilesystemNode* IcicleNodeLookup::nodeAt(double x, double y) const
{
    if (std::isnan(y) || std::isnan(x))
        return nullptr;
    double top = std::floor(y);
    int64_t row;
    if (top <= -9223372036854775808.0)
        row = std::numeric_limits<int64_t>::min();
    else if (top >= 9223372036854775808.0)
        row = std::numeric_limits<int64_t>::max();
    else
        row = int64_t(top);
    if (FilesystemNode* node = findInRow(row, x))
        return node;
    // The top of a row can still belong to a file of the row above, whose cell hangs lower.
    if (row == std::numeric_limits<int64_t>::min() || y - double(row - 1) >= fileCellHeight)
        return nullptr;
    FilesystemNode* above = findInRow(row - 1, x);
    return above && above->type == FilesystemNode::Type::FILE ? above : nullptr;
}

std::string IcicleNodeLookup::nodePath(const FilesystemNode* node)
{
    return ::nodePath(node);
}
