// IcicleVisualizationPreview: maps its rectangle to clip space through the GL renderer's
// projection and current offset, clips to it (a file in row 8 hangs below the last row) and runs
// the preview draw of IcicleRenderer over the chain and the records.
#include "icicle/preview/IcicleVisualizationPreview.h"

#include "gui/render/BasicGLRenderer.h"
#include "icicle/preview/PreviewBuilder.h"

using namespace orvex;
using namespace orvex::gui;

IcicleVisualizationPreview::IcicleVisualizationPreview(const IcicleResources& resources, PreviewBuilder* builder)
    : icicleRenderer(resources), context(resources.context), builder(builder)
{
}

IcicleVisualizationPreview::~IcicleVisualizationPreview() = default;

std::vector<int> IcicleVisualizationPreview::labelledRecords(const GeometryVertex* records, int count, double total,
                                                             double componentWidth, double minimumPixels)
{
    std::vector<int> wide;
    const double pixelsPerByte = total > 0.0 ? componentWidth / total : 0.0;
    for (int i = 0; i < count; ++i)
        if ((double(records[i].x1) - double(records[i].x0)) * pixelsPerByte >= minimumPixels)
            wide.push_back(i);
    return wide;
}

void IcicleVisualizationPreview::updateLabelMesh(const GeometryVertex* records, int count, double total)
{
    // A label needs a cell wider than the gap between cells; half of it leaves out only cells the
    // label pass would draw nothing in.
    std::vector<int> wide = labelledRecords(records, count, total, size.x, 2.0 * icicleRenderer.cellGapPixels(float(scale)));
    if (labelMesh && wide == labelled)
        return;
    if (!labelMesh) {
        if (!context)
            return;
        labelMesh = createPreviewMesh(*context, PreviewBuilder::recordCapacity);
        if (!labelMesh)
            return;
    }
    std::vector<GeometryVertex> packed;
    packed.reserve(wide.size());
    for (int index : wide)
        packed.push_back(records[index]);
    labelMesh->replace(packed.data(), int(packed.size()));
    labelled = std::move(wide);
}

void IcicleVisualizationPreview::warmUp(const IcicleResources& resources)
{
    if (!resources.context)
        return;
    UniquePtr<DynamicMesh<GeometryVertex>> mesh = createPreviewMesh(*resources.context, 1);
    if (!mesh)
        return;
    GeometryVertex cell {};
    cell.x1 = 1.0f;
    cell.row = 1.0f;
    cell.inverseLabelWidth = 0.5f;
    cell.sizeCode = 1.0f;
    cell.name[0] = float('W' * 16384);
    mesh->replace(&cell, 1);
    IcicleRenderer renderer(resources);
    Matrix<double, 4, 4> tiny = Matrix<double, 4, 4>::identity();
    tiny.at(0, 0) = tiny.at(1, 1) = 1.0 / 1024;
    renderer.setComponentToClip(tiny);
    RangeList none;
    renderer.drawPreviewMesh(*mesh, 0, { { 1.0, 1.0 } }, { { 0.0, 1.0 } }, rowScale, firstRow, { { 1024.0f, 1024.0f } },
                             1.0f, &none, { mesh.get(), 1 });
}

Vector2 IcicleVisualizationPreview::layout(Vector2 minimum, Vector2, double layoutScale, int final)
{
    if (final) {
        size = minimum;
        scale = layoutScale;
    }
    return minimum;
}

Response IcicleVisualizationPreview::draw(Renderer& renderer)
{
    const Response answer = HANDLED | (builder && builder->growing() ? Response(REDRAW) : Response(0));
    auto* glRenderer = dynamic_cast<BasicGLRenderer*>(&renderer);
    if (!glRenderer || !builder || !(size.x > 0.0) || !(size.y > 0.0))
        return answer;
    const PreviewBuilder::MeshHandle handle = builder->meshHandle();
    if (!handle.mesh || !(handle.totalSize > 0.0))
        return answer;

    // Component units to clip space: the renderer's projection of the client area after its
    // current offset. The projection is orthographic over the client area in pixels, so its
    // scale gives the viewport size the pixel-based uniforms need.
    const Matrix<float, 4, 4>& projection = glRenderer->projection();
    Matrix<double, 4, 4> componentToClip;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            componentToClip.at(column, row) = double(projection.at(column, row));
    const Vector2 offset = glRenderer->offset();
    for (int row = 0; row < 4; ++row)
        componentToClip.at(3, row) += componentToClip.at(0, row) * offset.x + componentToClip.at(1, row) * offset.y;
    const Vector<float, 2> viewport { { float(2.0 / projection.at(0, 0)), float(-2.0 / projection.at(1, 1)) } };

    ClipScope clip(renderer, Rect { 0.0, 0.0, size.x, size.y });
    icicleRenderer.setComponentToClip(componentToClip);
    int recordCount = 0;
    const GeometryVertex* records = builder->uploadedRecords(recordCount);
    updateLabelMesh(records, recordCount, handle.totalSize);
    // Labels: the chain of open directories in place, the labelled records from their packed copy.
    RangeList chain;
    chain.append(handle.rootLabelCount, handle.rootLabelCount + PreviewBuilder::maxDepth);
    icicleRenderer.drawPreviewMesh(*handle.mesh, handle.rootLabelCount, { { size.x, size.y } },
                                   { { 0.0, handle.totalSize } }, rowScale, firstRow, viewport, float(scale), &chain,
                                   { labelMesh.get(), int(labelled.size()) });
    return answer;
}
