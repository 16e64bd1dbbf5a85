// IcicleVisualizationPreview: maps its rectangle to clip space through the GL renderer's
// projection and current offset, clips to it (a file in row 8 hangs below the last row) and runs
// the preview draw of IcicleRenderer over the chain and the records.
#include "icicle/preview/IcicleVisualizationPreview.h"

#include "gui/render/BasicGLRenderer.h"
#include "icicle/preview/PreviewBuilder.h"

using namespace orvex;
using namespace orvex::gui;

IcicleVisualizationPreview::IcicleVisualizationPreview(const IcicleResources& resources, PreviewBuilder* builder)
    : icicleRenderer(resources), builder(builder)
{
}

IcicleVisualizationPreview::~IcicleVisualizationPreview() = default;

RangeList IcicleVisualizationPreview::labelRanges(const GeometryVertex* records, int count, int chainFirst, double total,
                                                  double componentWidth, double minimumPixels)
{
    RangeList ranges;
    ranges.append(chainFirst, chainFirst + 8);
    const double pixelsPerByte = total > 0.0 ? componentWidth / total : 0.0;
    const int firstRecord = chainFirst + 8;
    int runStart = -1;
    for (int i = 0; i <= count; ++i) {
        const bool wide = i < count && (double(records[i].x1) - double(records[i].x0)) * pixelsPerByte >= minimumPixels;
        if (wide && runStart < 0)
            runStart = i;
        if (!wide && runStart >= 0) {
            ranges.append(firstRecord + runStart, firstRecord + i);
            runStart = -1;
        }
    }
    return ranges;
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
    // A label needs a cell wider than the gap between cells; half of it leaves out only cells the
    // label pass would draw nothing in.
    int recordCount = 0;
    const GeometryVertex* records = builder->uploadedRecords(recordCount);
    const RangeList labelled = labelRanges(records, recordCount, handle.rootLabelCount, handle.totalSize, size.x,
                                           0.5 * icicleRenderer.cellGapPixels(float(scale)));
    icicleRenderer.drawPreviewMesh(*handle.mesh, handle.rootLabelCount, { { size.x, size.y } },
                                   { { 0.0, handle.totalSize } }, rowScale, firstRow, viewport, float(scale), &labelled);
    return answer;
}
