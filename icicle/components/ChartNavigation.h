// ChartNavigation: where a node's cell lies in the chart and where the keyboard moves a selection
// (the previous or next sibling in drawing order, the parent, the largest child). Everything is
// read from the node lookup's rows, so it agrees with what the mesh draws: a node left out of the
// layout (too small, or collapsed to one float) has no cell and cannot be selected. Plain data,
// no GL. Main thread.
#pragma once

#include "scan/FilesystemNode.h"

#include <cstddef>
#include <cstdint>
#include <optional>

class IcicleNodeLookup;

// A cell in chart space: its row (the node's depth below the root) and its edges in bytes.
struct ChartCell {
    int32_t row = 0;
    double x0 = 0.0;
    double x1 = 0.0;
    bool hangs = false; // a file's cell, which reaches fileCellHeight rows down
};

class ChartNavigation {
public:
    // `lookup` is not owned and must outlive this object.
    explicit ChartNavigation(const IcicleNodeLookup& lookup) : lookup(&lookup) {}

    // The node's cell; none for a null node, a node of another tree or one the layout left out.
    // Costs a bisection per level plus a walk over the drawn siblings on each level.
    std::optional<ChartCell> cellOf(const FilesystemNode* node) const;
    // The drawn sibling `step` places before (negative) or after (positive) `node` in drawing
    // order (left to right); null when there is none.
    const FilesystemNode* sibling(const FilesystemNode* node, int step) const;
    // The largest child that has a cell (the first of equals in drawing order); null for none.
    const FilesystemNode* largestChild(const FilesystemNode* node) const;
    // Whether `node` is `ancestor` or lies below it.
    static bool isWithin(const FilesystemNode* node, const FilesystemNode* ancestor);

private:
    // The node's entry: its row and its index in that row.
    struct Place {
        int32_t row;
        size_t index;
    };
    std::optional<Place> locate(const FilesystemNode* node) const;
    ChartCell cellAt(Place place) const;

    const IcicleNodeLookup* lookup;
};
