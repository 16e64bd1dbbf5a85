// GeometryVertex: one point of the chart's vertex buffer, both the CPU record and the GPU vertex
// format (stride 56 bytes). The geometry shaders expand it into a cell rectangle and its label.
#pragma once

#include <cstddef>

struct GeometryVertex {
    float x0;                // left edge in chart space (bytes from the start of the root)
    float row;               // the cell's row; row + 0.27201962 for a file, which hangs lower
    float x1;                // right edge: x0 + max(size, 1)
    float hue;               // palette position, period 1.0; negative for a marked cell: -2 - hue
                             // unreadable (striped), -code / 128 a small-item block (SmallItemBlocks)
    float inverseLabelWidth; // 1 / (widest label line in text units + 0.5)
    float sizeCode;          // packed size text; 0 means no size line and no rectangle
    float name[8];           // packed name glyph codes, three per float, or a split name's pen offset
};

static_assert(sizeof(GeometryVertex) == 56 && alignof(GeometryVertex) == 4, "GeometryVertex is 14 packed floats");
static_assert(offsetof(GeometryVertex, hue) == 12 && offsetof(GeometryVertex, name) == 24, "attribute offsets are fixed");

// How far a file's cell hangs into the row below: the fractional part of 1.27201962 as a float.
constexpr float fileRowOffset = 0.27201962f;
// The same bound as a double, for hit tests in chart space.
constexpr double fileCellHeight = 1.272019624710083;
