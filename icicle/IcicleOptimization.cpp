// Mesh building: pass 1 puts the root alone into the base range with its whole name, pass 2 lays
// out the descendants into the detail levels, each folder's small-item blocks among them; then the
// level index is assembled and the vertices are uploaded range by range.
#include "icicle/IcicleOptimization.h"

#include "icicle/IcicleLayout.h"
#include "icicle/LabelText.h"
#include "icicle/SmallItemBlocks.h"

#include <algorithm>

namespace {

class Builder final : public IcicleLayout::CellSink {
public:
    Builder(double totalSize, uint64_t minimumSize, const IcicleOptimization::Marks& marks)
        : inverseTotal(totalSize <= 1.0 ? 1.0f : float(1.0 / totalSize))
        , minimumSize(minimumSize)
        , blocksOn(marks.smallItemBlocks)
    {
        if (marks.unreadableNodes)
            unreadable.insert(marks.unreadableNodes->begin(), marks.unreadableNodes->end());
    }

    void emitRoot(FilesystemNode* root, std::string_view caption)
    {
        emit(root, 0, 0, root->size, 0.0, true, &base, caption.empty() ? root->name.view() : caption);
    }
    void cell(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue) override
    {
        if (!folders.empty())
            emitBlocks(folders.back().drawn++);
        emit(node, row, x0, width, hue, false, nullptr, node->name.view());
    }
    void childrenBegin(FilesystemNode* parent, int32_t row, uint64_t x0, uint64_t end) override
    {
        if (!blocksOn)
            return;
        OpenFolder folder { planned.size(), 0, planned.size() };
        SmallItemBlocks::plan(parent, row, x0, end, minimumSize, inverseTotal, unreadable.empty() ? nullptr : &unreadable,
                              planned);
        folder.end = planned.size();
        folders.push_back(folder);
    }
    void childrenEnd(FilesystemNode*) override
    {
        if (!blocksOn)
            return;
        emitBlocks(-1);
        planned.resize(folders.back().first);
        folders.pop_back();
    }

    std::vector<IcicleNodeLookup::Row> rows;
    SmallItemBlocks blocks;
    LevelList base;
    LevelList levels[IcicleLevelIndex::levelCount];

private:
    void emit(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue, bool split, LevelList* target,
              std::string_view name)
    {
        GeometryVertex cell {};
        cell.x0 = float(x0);
        cell.x1 = float(saturatingAdd(x0, std::max<uint64_t>(width, 1)));
        cell.row = float(row) + (node->type == FilesystemNode::Type::FILE ? fileRowOffset : 0.0f);
        cell.hue = float(hue);
        // An unreadable node's hue is stored as -2 - hue: the shader hatches the cell and still
        // takes its colour from the palette.
        if (!unreadable.empty() && unreadable.count(node) > 0)
            cell.hue = -2.0f - cell.hue;
        labels.clear();
        LabelText::labelVertices(cell, name, node->size, split, labels);
        if (!target)
            target = &levels[IcicleLevelIndex::detailLevel(cell.x0, cell.x1, inverseTotal)];
        for (const GeometryVertex& vertex : labels)
            target->append(vertex);
        IcicleNodeLookup::recordCell(rows, row, cell.x0, cell.x1, node);
    }

    // The open folder's blocks that go before its drawn child `ordinal` (-1: after the last).
    void emitBlocks(int64_t ordinal)
    {
        OpenFolder& folder = folders.back();
        while (folder.next < folder.end && planned[folder.next].beforeChild == ordinal) {
            const SmallItemBlocks::Planned& block = planned[folder.next++];
            GeometryVertex vertex {};
            vertex.x0 = block.block.x0;
            vertex.x1 = block.block.x1;
            vertex.row = float(block.block.row);
            vertex.hue = SmallItemBlocks::blockHue(block.block);
            vertex.inverseLabelWidth = 0.0f; // no label
            vertex.sizeCode = LabelText::packSize(block.block.bytes).code;
            levels[block.level].append(vertex);
            blocks.add(block.block);
        }
    }

    // A folder whose children are being laid out: its planned blocks [first, end) and the next.
    struct OpenFolder {
        size_t first;
        size_t end;
        size_t next;
        int64_t drawn = 0; // drawn children so far
    };

    float inverseTotal;
    uint64_t minimumSize;
    bool blocksOn;
    SmallItemBlocks::NodeSet unreadable;
    std::vector<SmallItemBlocks::Planned> planned; // the open folders' plans, innermost last
    std::vector<OpenFolder> folders;
    std::vector<GeometryVertex> labels;
};

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
    Builder builder(result.totalSize, minimumSize, marks);
    builder.emitRoot(root.get(), rootCaption);
    IcicleLayout::layOutDescendants(root.get(), minimumSize, builder);

    auto index = orvex::makeUnique<IcicleLevelIndex>();
    int64_t total = int64_t(builder.base.size());
    index->boundaries[0] = total;
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
        total += int64_t(builder.levels[k].size());
        index->boundaries[k + 1] = total;
    }
    index->keys.reserve(size_t(total));
    index->keys.insert(index->keys.end(), builder.base.keys().begin(), builder.base.keys().end());
    for (const LevelList& level : builder.levels)
        index->keys.insert(index->keys.end(), level.keys().begin(), level.keys().end());

    result.baseCount = int64_t(builder.base.size());
    uploader.allocate(total, result.baseCount);
    uploader.upload(0, builder.base.vertices().data(), result.baseCount, true, total);
    for (int k = 0; k < IcicleLevelIndex::levelCount; ++k) {
        const LevelList& level = builder.levels[k];
        if (level.size() > 0)
            uploader.upload(index->boundaries[k], level.vertices().data(), int64_t(level.size()), false, total);
    }
    result.levelIndex = std::move(index);
    lookup.assign(std::move(root), std::move(builder.rows));
    builder.blocks.finish();
    lookup.setSmallItems(std::move(builder.blocks));
    return result;
}
