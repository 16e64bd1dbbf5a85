// Mesh building: pass 1 puts the root alone into the base range with its whole name, pass 2 lays
// out the descendants into the detail levels, each folder's small-item blocks among them; then the
// level index is assembled and the vertices are uploaded range by range.
#include "icicle/IcicleOptimization.h"

#include "icicle/IcicleLayout.h"
#include "icicle/LabelCharacters.h"
#include "icicle/LabelText.h"
#include "icicle/SmallItemBlocks.h"

#include <algorithm>
#include <thread>
#include <unordered_map>

namespace {

class Builder final : public IcicleLayout::CellSink {
public:
    Builder(double totalSize, const IcicleOptimization::Marks& marks)
        : inverseTotal(totalSize <= 1.0 ? 1.0f : float(1.0 / totalSize))
        , blocksOn(marks.smallItemBlocks)
    {
        if (!marks.unreadableNodes)
            return;
        // Each node and every folder above it: an unreadable folder holds no bytes and so has no
        // cell, and the marks on the way down are how it is found. The walk up stops at the
        // first folder already marked, whose own way up is marked too.
        for (const FilesystemNode* node : *marks.unreadableNodes)
            for (; node && unreadable.insert(node).second; node = node->parent)
                if (node->parent)
                    ++unreadableChildren[node->parent];
    }

    void emitRoot(FilesystemNode* root, std::string_view caption)
    {
        emit(root, 0, 0, root->size, 0.0, true, &base, caption.empty() ? root->name.view() : caption);
    }
    void cell(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue) override
    {
        if (!folders.empty()) {
            // The blocks the child closes end where its cell starts: they go in first, so that
            // the block stream's keys stay sorted by x0.
            float left, right;
            cellEdges(x0, width, left, right);
            const int level = IcicleLevelIndex::detailLevel(left, right, inverseTotal);
            const bool marked = isUnreadable(node);
            folders.back().runs.child(width, level, marked, inverseTotal, closed);
            folders.back().unreadableDrawn += marked;
            emitBlocks();
            emit(node, row, x0, width, hue, false, &levels[level], labelName(node));
            return;
        }
        emit(node, row, x0, width, hue, false, nullptr, labelName(node));
    }
    void childrenBegin(FilesystemNode* parent, int32_t row, uint64_t x0, uint64_t end) override
    {
        if (blocksOn)
            folders.push_back({ SmallItemRuns(parent, row, x0, end), 0 });
    }
    void childrenEnd(FilesystemNode* parent) override
    {
        if (!blocksOn)
            return;
        auto found = unreadableChildren.find(parent);
        const bool leftOutUnreadable = found != unreadableChildren.end() && found->second > folders.back().unreadableDrawn;
        folders.back().runs.finish(leftOutUnreadable, inverseTotal, closed);
        emitBlocks();
        folders.pop_back();
    }

    std::vector<IcicleNodeLookup::Row> rows;
    SmallItemBlocks blocks;
    LevelList base;
    LevelList levels[IcicleLevelIndex::levelCount];
    LevelList blockLevels[IcicleLevelIndex::levelCount]; // the block stream, by the level each first shows at

private:
    // A cell's label: its name; for the root of one of several scans (its name the scanned path)
    // the end of the path, which tells roots with a long common start apart.
    std::string_view labelName(const FilesystemNode* node)
    {
        if (!node->parent || !node->parent->scanSummary)
            return node->name.view();
        scanRootName = LabelText::pathTail(node->name.view(), LabelText::nameSlotsPerVertex);
        return scanRootName;
    }

    std::string scanRootName;

    // Appends the node's cell to `target`, else to the list of its level.
    void emit(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue, bool split, LevelList* target,
              std::string_view name)
    {
        GeometryVertex cell {};
        cellEdges(x0, width, cell.x0, cell.x1);
        cell.row = float(row) + (node->type == FilesystemNode::Type::FILE ? fileRowOffset : 0.0f);
        cell.hue = float(hue);
        // An unreadable node's hue is stored as -2 - hue: the shader hatches the cell and still
        // takes its colour from the palette.
        if (isUnreadable(node))
            cell.hue = -2.0f - cell.hue;
        labels.clear();
        if (!target)
            target = &levels[IcicleLevelIndex::detailLevel(cell.x0, cell.x1, inverseTotal)];
        if (LabelText::isAscii(name)) {
            LabelText::labelVertices(cell, name, node->size, split, labels);
        } else {
            // The cell alone for now: its label is packed once the glyph page has its codes. The
            // name is read once, here, for both its characters and their weights.
            labels.push_back(cell);
            const size_t start = decoded.size();
            for (size_t at = 0; at < name.size();) {
                decoded.push_back(LabelText::nextCharacter(name, at));
                weights.add(decoded.back(), double(node->size));
            }
            pastAscii.push_back({ target, target->size(), node->size, start, decoded.size() - start, split });
        }
        for (const GeometryVertex& vertex : labels)
            target->append(vertex);
        IcicleNodeLookup::recordCell(rows, row, cell.x0, cell.x1, node);
    }

    bool isUnreadable(const FilesystemNode* node) const { return !unreadable.empty() && unreadable.count(node) > 0; }

public:
    bool needsPage() const { return !pastAscii.empty(); }
    // The characters past ASCII of the labelled cells, the most bytes first.
    std::vector<char32_t> rankCharacters(size_t limit) const { return weights.ranked(limit); }
    // Packs the names past ASCII again with the page's codes (one character, one code). A cell's
    // label is one vertex whatever its length; the root's split name may take fewer vertices than
    // its bytes did, so the base range, which holds the root alone, is made again.
    void relabel(const LabelText::GlyphPageCodes& codes)
    {
        // Cells write only their own vertex, so a second thread takes half of a large set.
        const size_t half = pastAscii.size() > 8192 ? pastAscii.size() / 2 : pastAscii.size();
        std::thread second;
        if (half < pastAscii.size())
            second = std::thread([&] { relabel(codes, half, pastAscii.size()); });
        relabel(codes, 0, half);
        if (second.joinable())
            second.join();
    }

private:
    void relabel(const LabelText::GlyphPageCodes& codes, size_t from, size_t to)
    {
        std::vector<GeometryVertex> packed;
        for (size_t i = from; i < to; ++i) {
            const Labelled& cell = pastAscii[i];
            const GeometryVertex& old = cell.list->vertices()[cell.index];
            packed.clear();
            LabelText::labelVertices(old, decoded.data() + cell.first, cell.count, cell.size, cell.split, packed, codes);
            if (cell.split) { // the root, which the base range holds alone
                LevelList rebuilt;
                for (const GeometryVertex& vertex : packed)
                    rebuilt.append(vertex);
                *cell.list = std::move(rebuilt);
            } else {
                cell.list->relabel(cell.index, packed.front());
            }
        }
    }

public:

private:
    struct Labelled {
        LevelList* list;
        size_t index; // of its first vertex
        uint64_t size;
        size_t first; // its characters in `decoded`
        size_t count;
        bool split;
    };

    // Each closed block becomes a vertex of the block stream, in the list of the first level that
    // shows it. Blocks of one level never overlap (a block inside another's span belongs to a
    // child left out at the outer one's levels, so it shows only at finer ones), so their keys
    // are sorted and need no links.
    void emitBlocks()
    {
        for (const SmallItemBlock& block : closed) {
            GeometryVertex vertex {};
            vertex.x0 = block.x0;
            vertex.x1 = block.x1;
            vertex.row = float(block.row);
            vertex.hue = SmallItemBlocks::blockHue(block);
            vertex.inverseLabelWidth = 0.0f; // no label
            vertex.sizeCode = 1.0f; // any size but 0, which would stop the rectangle
            blockLevels[block.firstLevel].append(vertex);
            blocks.add(block);
        }
        closed.clear();
    }

    struct OpenFolder {
        SmallItemRuns runs;
        uint64_t unreadableDrawn; // drawn children that could not be read
    };

    float inverseTotal;
    bool blocksOn;
    std::vector<Labelled> pastAscii; // cells whose names need the glyph page, in emission order
    std::vector<char32_t> decoded;   // their names' characters
    CharacterWeights weights;        // by the bytes of the cells that use them
    SmallItemBlocks::NodeSet unreadable;
    std::unordered_map<const FilesystemNode*, uint64_t> unreadableChildren; // by parent
    std::vector<OpenFolder> folders; // innermost last
    std::vector<SmallItemBlock> closed;
    std::vector<GeometryVertex> labels;
};

// The index of a base range followed by the eight levels, in that order in the buffer.
orvex::UniquePtr<IcicleLevelIndex> assemble(const LevelList& base, const LevelList (&levels)[IcicleLevelIndex::levelCount])
{
    auto index = orvex::makeUnique<IcicleLevelIndex>();
    int64_t total = int64_t(base.size());
    index->boundaries[0] = total;
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
        total += int64_t(levels[k].size());
        index->boundaries[k + 1] = total;
    }
    index->keys.reserve(size_t(total));
    index->keys.insert(index->keys.end(), base.keys().begin(), base.keys().end());
    for (const LevelList& level : levels)
        index->keys.insert(index->keys.end(), level.keys().begin(), level.keys().end());
    return index;
}

} // namespace

IcicleOptimization::Result IcicleOptimization::build(IcicleNodeLookup& lookup, orvex::UniquePtr<FilesystemNode>&& root,
                                                     uint64_t minimumSize, VertexUploader& uploader,
                                                     std::string_view rootCaption, const Marks& marks)
{
    Result result;
    if (!root) {
        lookup.assign(nullptr, {});
        return result;
    }
    result.totalSize = root->size ? double(root->size) : 1.0;
    // Characters past ASCII, the most used by bytes first: the page takes the first 128 that some
    // face draws (twice as many candidates as codes, for the ones no face has).
    Builder builder(result.totalSize, marks);
    builder.emitRoot(root.get(), rootCaption);
    IcicleLayout::layOutDescendants(root.get(), minimumSize, builder);

    // Labels past ASCII: the characters they need, weighed by their cells' bytes, make the chart's
    // glyph page; its codes and advances relabel those cells while its fields are drawn.
    std::thread pageDrawing;
    if (builder.needsPage()) {
        orvex::GlyphPagePlan plan = orvex::planGlyphPage(builder.rankCharacters(2 * LabelText::pageCapacity));
        result.pageCodes = std::make_shared<const LabelText::GlyphPageCodes>(plan.characters, plan.advances);
        if (!plan.characters.empty())
            pageDrawing = std::thread([&result, plan = std::move(plan)]() mutable { result.page = orvex::drawGlyphPage(std::move(plan)); });
        builder.relabel(*result.pageCodes);
    }
    // Joined on every way out: the thread writes into `result`.
    struct Join {
        std::thread& thread;
        void operator()()
        {
            if (thread.joinable())
                thread.join();
        }
        ~Join() { (*this)(); }
    } join { pageDrawing };

    auto index = assemble(builder.base, builder.levels);
    const int64_t total = index->boundaries[IcicleLevelIndex::levelCount];

    // Each level's vertices are let go once uploaded, so that a large chart's vertices are not held
    // twice (here and in the buffer) for longer than one level at a time.
    result.baseCount = int64_t(builder.base.size());
    uploader.allocate(total, result.baseCount);
    uploader.upload(0, builder.base.vertices().data(), result.baseCount, true, total);
    builder.base.release();
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
        LevelList& level = builder.levels[k];
        if (level.size() > 0)
            uploader.upload(index->boundaries[k], level.vertices().data(), int64_t(level.size()), false, total);
        level.release();
    }
    result.levelIndex = std::move(index);
    if (builder.blocks.blocks().size() > 0) {
        result.blockIndex = assemble(LevelList {}, builder.blockLevels);
        uploader.allocateBlocks(result.blockIndex->boundaries[IcicleLevelIndex::levelCount]);
        for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
            LevelList& level = builder.blockLevels[k];
            if (level.size() > 0)
                uploader.uploadBlocks(result.blockIndex->boundaries[k], level.vertices().data(), int64_t(level.size()));
            level.release();
        }
    }
    lookup.assign(std::move(root), std::move(builder.rows));
    builder.blocks.finish();
    lookup.setSmallItems(std::move(builder.blocks));
    join();
    return result;
}
