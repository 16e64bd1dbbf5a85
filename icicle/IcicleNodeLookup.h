// IcicleNodeLookup: which node lies under a point of the chart, and a node's path. It owns the
// size tree once the mesh has been built, so its node pointers live exactly as long as it does.
// Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "icicle/SmallItemBlocks.h"
#include "scan/FilesystemNode.h"

#include <cstdint>
#include <string>
#include <vector>

class IcicleNodeLookup {
public:
    // An entry with a node marks the left edge of its cell; one with null marks a right edge,
    // the start of a gap.
    struct RowEntry {
        float x;
        int32_t row;
        FilesystemNode* node;
    };
    using Row = std::vector<RowEntry>;

    // The node under chart point (x bytes, y rows), including the part of a file's cell that
    // hangs into the row below; null for none.
    FilesystemNode* nodeAt(double x, double y) const;
    // The node whose entry is the last with x <= `x` in `row`; null for a gap or no entry.
    FilesystemNode* findInRow(int64_t row, double x) const;
    // The node's full path, the root's name (the scanned path) first.
    static std::string nodePath(const FilesystemNode* node);

    // The small-item block drawn at `detailLevel` (IcicleRenderer::detailLevel) under chart point
    // (x bytes, y rows): which folder's children it stands for, how many and their bytes. Null
    // where no block is drawn. Where this answers, nodeAt may still name a child too narrow to
    // see; the block is what the chart shows there.
    const SmallItemBlock* smallItemsAt(double x, double y, int detailLevel) const
    {
        return smallItems.blockAt(x, y, detailLevel);
    }
    const SmallItemBlocks& smallItemBlocks() const { return smallItems; }
    // Takes the blocks of the tree just assigned (the mesh build does).
    void setSmallItems(SmallItemBlocks blocks) { smallItems = std::move(blocks); }

    // Takes a new tree and its rows, destroying what was held before, and drops the blocks.
    void assign(orvex::UniquePtr<FilesystemNode> root, std::vector<Row> rows);
    const FilesystemNode* root() const { return tree.get(); }
    // Gives the tree back and drops the rows and blocks, which point into it: the owner edits it
    // and builds the mesh again.
    orvex::UniquePtr<FilesystemNode> takeTree()
    {
        rowList.clear();
        smallItems = {};
        return std::move(tree);
    }
    const std::vector<Row>& rows() const { return rowList; }

    // Records a cell while the mesh is built: edges as floats, in pre-order.
    static void recordCell(std::vector<Row>& rows, int32_t row, float x0, float x1, FilesystemNode* node);

private:
    orvex::UniquePtr<FilesystemNode> tree;
    std::vector<Row> rowList;
    SmallItemBlocks smallItems;
};
