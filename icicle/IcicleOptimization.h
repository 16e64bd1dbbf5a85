// IcicleOptimization: builds the chart's vertex stream from a finished size tree. The root goes
// alone into the base range (its long name split over several vertices), every other emitted cell
// into the list of its detail level; the small-item blocks (SmallItemBlocks) form a second stream
// with its own index. Both reach the GPU (or a test) through a VertexUploader, and the cells and
// blocks are recorded in the node lookup, which then takes the tree. Main thread.
#pragma once

#include "engine/core/UniquePtr.h"
#include "icicle/GeometryVertex.h"
#include "icicle/IcicleLevelIndex.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/LabelText.h"
#include "icicle/glyphs/GlyphPage.h"

#include <memory>

#include <cstdint>
#include <string_view>
#include <vector>

// What the chart marks besides the cells' sizes.
struct IcicleMeshMarks {
    // Nodes that could not be read (ScanProblems::unlistedNodes): their cells are hatched, and so
    // are the cells of every folder above one and a small-item block standing for any of them.
    // Null for none; read during the build only.
    const std::vector<const FilesystemNode*>* unreadableNodes = nullptr;
    // Whether children too small to draw are shown as neutral blocks (see SmallItemBlocks); off
    // only to measure what the blocks cost.
    bool smallItemBlocks = true;
};

class IcicleOptimization {
public:
    class VertexUploader {
    public:
        virtual ~VertexUploader() = default;
        // Called once, before any upload.
        virtual void allocate(int64_t totalCount, int64_t baseCount) = 0;
        // The base range (isBase, at 0), then each non-empty level in order.
        virtual void upload(int64_t firstVertex, const GeometryVertex* vertices, int64_t count, bool isBase, int64_t totalCount) = 0;
        // After the cells, when there are any, the small-item blocks: a stream of their own with
        // its own level index, which only the rectangle pass draws. allocateBlocks once with
        // their count, then uploadBlocks for consecutive pieces in order.
        virtual void allocateBlocks(int64_t /*count*/) {}
        virtual void uploadBlocks(int64_t /*firstVertex*/, const GeometryVertex*, int64_t /*count*/) {}
    };

    using Marks = IcicleMeshMarks;

    struct Result {
        orvex::UniquePtr<IcicleLevelIndex> levelIndex; // null for a null root
        orvex::UniquePtr<IcicleLevelIndex> blockIndex; // of the block stream (no base range); null without blocks
        int64_t baseCount = 0;
        double totalSize = 1.0; // the root's size, 1.0 when it is 0
        // The glyph page the labels' characters past ASCII are drawn from (empty when every name
        // is ASCII) and the codes they were packed with.
        orvex::GlyphPage page;
        std::shared_ptr<const LabelText::GlyphPageCodes> pageCodes;
    };

    // Lays out `root`, uploads its vertices through `uploader`, fills `lookup` and moves the tree
    // into it. A null root gives an empty lookup and an empty result, with no upload. The root's
    // label shows `rootCaption` when one is given (a stored scan's path and time), else its name;
    // `marks` names the unreadable nodes and can leave the blocks out.
    static Result build(IcicleNodeLookup& lookup, orvex::UniquePtr<FilesystemNode>&& root, uint64_t minimumSize,
                        VertexUploader& uploader, std::string_view rootCaption = {}, const Marks& marks = {});
};
