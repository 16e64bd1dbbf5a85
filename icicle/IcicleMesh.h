// IcicleMesh: the chart's GPU mesh (one point per cell, expanded by the geometry shaders) with the
// size of its always-drawn base range, the chart's total size and the detail-level index that picks
// the vertex ranges to draw; the same for the small-item blocks. Also the GeometryVertex attribute
// layout both chart programs read.
// Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "engine/gl/Mesh.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureBuffer.h"
#include "engine/gl/VertexFormats.h"
#include "icicle/GeometryVertex.h"
#include "icicle/IcicleLevelIndex.h"
#include "icicle/LabelText.h"

#include <memory>

// Location 0: x0, row, x1; location 1: hue, inverseLabelWidth, sizeCode; locations 2-9: the eight
// name floats, one each (the vertex shader declares them as one float[8] at location 2).
namespace orvex {
template <>
struct VertexFormat<GeometryVertex> {
    static constexpr VertexAttribute attributes[] = { { 0, 3, 0 }, { 1, 3, 3 },  { 2, 1, 6 },  { 3, 1, 7 },
                                                      { 4, 1, 8 }, { 5, 1, 9 },  { 6, 1, 10 }, { 7, 1, 11 },
                                                      { 8, 1, 12 }, { 9, 1, 13 } };
};
} // namespace orvex

// A chart's glyph page on the GPU (codes 128-255 of its labels): its 256-entry glyph table (the
// built-in 128 first) and the page's atlas. Null members: the built-in font alone.
struct LabelPage {
    orvex::TextureBuffer* glyphTable = nullptr;
    orvex::Texture2D* atlas = nullptr;
    int width = 0; // the atlas in texels
    int height = 0;
};

// Ptr is the pointer kind holding the mesh (orvex::MasterPtr for the owner), Int the count type.
template <template <class> class Ptr, typename Int>
struct IcicleMesh {
    Ptr<orvex::DynamicMesh<GeometryVertex>> mesh; // empty when GL could not create it
    Int baseCount = 0;                            // vertices of the root at the start of the buffer
    double totalSize = 1.0;                       // the root's size in bytes, 1.0 for an empty root
    orvex::UniquePtr<IcicleLevelIndex> levelIndex; // null for an empty result
    // The small-item blocks: a mesh and level index of their own (no base range), drawn by the
    // rectangle pass only. Empty without blocks.
    Ptr<orvex::DynamicMesh<GeometryVertex>> blockMesh;
    orvex::UniquePtr<IcicleLevelIndex> blockIndex;
    // The glyph page of the labels' characters past ASCII; none when every name is ASCII. The codes
    // also encode captions drawn over this chart (the focused folder's path).
    Ptr<orvex::TextureBuffer> glyphTable;
    Ptr<orvex::Texture2D> pageAtlas;
    int pageWidth = 0;
    int pageHeight = 0;
    std::shared_ptr<const LabelText::GlyphPageCodes> pageCodes;

    LabelPage labelPage() const { return { glyphTable.get(), pageAtlas.get(), pageWidth, pageHeight }; }
    const LabelText::GlyphPageCodes& codes() const { return pageCodes ? *pageCodes : LabelText::GlyphPageCodes::none(); }
};
