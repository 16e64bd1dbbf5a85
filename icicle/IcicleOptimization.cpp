// Mesh building: pass 1 puts the root alone into the base range with its whole name, pass 2 lays
// out the descendants into the detail levels; then the level index is assembled and the vertices
// are uploaded range by range.
#include "icicle/IcicleOptimization.h"

#include "icicle/IcicleLayout.h"
#include "icicle/LabelText.h"

#include <algorithm>

namespace {

class Builder final : public IcicleLayout::CellSink {
public:
    explicit Builder(double totalSize) : inverseTotal(totalSize <= 1.0 ? 1.0f : float(1.0 / totalSize)) {}

    void emitRoot(FilesystemNode* root, std::string_view caption)
    {
        emit(root, 0, 0, root->size, 0.0, true, &base, caption.empty() ? root->name.view() : caption);
    }
    void cell(FilesystemNode* node, int32_t row, uint64_t x0, uint64_t width, double hue) override
    {
        emit(node, row, x0, width, hue, false, nullptr, node->name.view());
    }

    std::vector<IcicleNodeLookup::Row> rows;
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
        labels.clear();
        LabelText::labelVertices(cell, name, node->size, split, labels);
        if (!target)
            target = &levels[IcicleLevelIndex::detailLevel(cell.x0, cell.x1, inverseTotal)];
        for (const GeometryVertex& vertex : labels)
            target->append(vertex);
        IcicleNodeLookup::recordCell(rows, row, cell.x0, cell.x1, node);
    }

    float inverseTotal;
    std::vector<GeometryVertex> labels;
};

} // namespace

IcicleOptimization::Result IcicleOptimization::build(IcicleNodeLookup& lookup, orvex::UniquePtr<FilesystemNode>&& root,
                                                     uint64_t minimumSize, VertexUploader& uploader,
                                                     std::string_view rootCaption)
{
    Result result;
    if (!root) {
        lookup.assign(nullptr, {});
        return result;
    }
    result.totalSize = root->size ? double(root->size) : 1.0;
    Builder builder(result.totalSize);
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
    return result;
}
