// The chart mesh's GL uploader: one static-draw buffer sized for every vertex up front, filled range
// by range as IcicleOptimization hands them over.
#include "icicle/IcicleMeshWrangler.h"

#include "engine/gl/GlContext.h"
#include "icicle/IcicleOptimization.h"
#include "icicle/IcicleResources.h"

namespace {

constexpr int POINTS = 1;
constexpr int STATIC_DRAW = 0;

class VertexUploader final : public IcicleOptimization::VertexUploader {
public:
    VertexUploader(orvex::GlContext* context, IcicleMesh<orvex::MasterPtr, int>& result)
        : context(context), result(result)
    {
    }

    void allocate(int64_t totalCount, int64_t baseCount) override
    {
        result.mesh = nullptr;
        current = nullptr;
        result.baseCount = int(baseCount);
        orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> mesh =
            orvex::createDynamicMesh<GeometryVertex>(*context, POINTS, int(totalCount), STATIC_DRAW);
        if (!mesh)
            return; // nothing to draw; later uploads are dropped
        mesh->vertexCount = int(totalCount);
        current = mesh.get();
        result.mesh.reset(mesh.release());
    }

    void upload(int64_t firstVertex, const GeometryVertex* vertices, int64_t count, bool, int64_t) override
    {
        if (current)
            current->write(int(firstVertex), vertices, int(count));
    }

    void allocateBlocks(int64_t count) override
    {
        result.blockMesh = nullptr;
        blocks = nullptr;
        if (!current)
            return; // without the cells the chart draws nothing, blocks included
        orvex::UniquePtr<orvex::DynamicMesh<GeometryVertex>> mesh =
            orvex::createDynamicMesh<GeometryVertex>(*context, POINTS, int(count), STATIC_DRAW);
        if (!mesh)
            return;
        mesh->vertexCount = int(count);
        blocks = mesh.get();
        result.blockMesh.reset(mesh.release());
    }

    void uploadBlocks(int64_t firstVertex, const GeometryVertex* vertices, int64_t count) override
    {
        if (blocks)
            blocks->write(int(firstVertex), vertices, int(count));
    }

private:
    orvex::GlContext* context;
    IcicleMesh<orvex::MasterPtr, int>& result;
    orvex::DynamicMesh<GeometryVertex>* current = nullptr;
    orvex::DynamicMesh<GeometryVertex>* blocks = nullptr;
};

} // namespace

IcicleMesh<orvex::MasterPtr, int> IcicleMeshWrangler::createOptimizedMesh(IcicleNodeLookup& lookup,
                                                                         orvex::NonNull<orvex::GlContext*> context,
                                                                         orvex::UniquePtr<FilesystemNode>&& root,
                                                                         uint64_t minimumSize,
                                                                         std::string_view rootCaption,
                                                                         const IcicleOptimization::Marks& marks)
{
    IcicleMesh<orvex::MasterPtr, int> result;
    VertexUploader uploader(context, result);
    IcicleOptimization::Result built
        = IcicleOptimization::build(lookup, std::move(root), minimumSize, uploader, rootCaption, marks);
    result.baseCount = int(built.baseCount);
    result.totalSize = built.totalSize;
    result.levelIndex = std::move(built.levelIndex);
    result.blockIndex = std::move(built.blockIndex);
    result.pageCodes = std::move(built.pageCodes);
    const orvex::GlyphPage& page = built.page;
    if (!page.characters.empty() && page.atlasWidth > 0 && page.atlasHeight > 0) {
        // Without either texture the page's characters draw nothing; the rest of the chart stands.
        result.glyphTable.reset(createChartGlyphTable(*context, page.table));
        result.pageAtlas.reset(createPageAtlas(*context, page.atlas.data(), page.atlasWidth, page.atlasHeight));
        result.pageWidth = page.atlasWidth;
        result.pageHeight = page.atlasHeight;
    }
    return result;
}
