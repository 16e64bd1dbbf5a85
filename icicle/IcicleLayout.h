// IcicleLayout: the chart's geometry. Every node is a cell as wide as its bytes in the row of its
// depth; children sit below their parent in listing order from its left edge. Children under the
// minimum size are left out with their subtree. Hues come from windows of a cyclic palette that
// narrow with depth and restart for balanced directories once they get too narrow.
#pragma once

#include "scan/FilesystemNode.h"

#include <cstdint>

class IcicleLayout {
public:
    // Receives each emitted cell in pre-order: x0 and width as exact byte counts, its row (depth)
    // and hue. The width is the node's size, cut to what is left of its parent: where sizes
    // saturated at 2^64 - 1, children can add up to more than their parent, and a child is never
    // drawn outside it.
    class CellSink {
    public:
        virtual ~CellSink() = default;
        virtual void cell(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue) = 0;
        // Around the children of every node that has any, the root's included: `begin` before the
        // first child's cell with the children's row and the parent's cell [x0, end), `end` after
        // the last descendant's cell.
        virtual void childrenBegin(FilesystemNode*, int32_t /*row*/, uint64_t /*x0*/, uint64_t /*end*/) {}
        virtual void childrenEnd(FilesystemNode*) {}
    };

    // Emits the root's descendants (not the root) below `root`, which sits at row 0, offset 0.
    static void layOutDescendants(FilesystemNode* root, uint64_t minimumSize, CellSink& sink);
    // Whether the palette restarts below `node` when its window gets narrow.
    static bool isBalanced(const FilesystemNode* node, uint64_t minimumSize);
};
