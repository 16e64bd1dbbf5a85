// IcicleRenderer: the per-frame camera, the choice of vertex ranges and the two passes. The label
// pass runs first with maximum blending; the rectangle pass then composites every cell as
// 1 − (1 − cell) × (1 − what the labels left), which puts the white labels on top of the cells.
#include "icicle/IcicleRenderer.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureBuffer.h"
#include "icicle/LabelShader.h"
#include "icicle/RectangleShader.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

using namespace orvex;

namespace {

constexpr int POINTS = 1;

Matrix<double, 4, 4> multiply(const Matrix<double, 4, 4>& a, const Matrix<double, 4, 4>& b)
{
    Matrix<double, 4, 4> product;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a.at(k, row) * b.at(column, k);
            product.at(column, row) = sum;
        }
    return product;
}

// The float ranges handed to selectRanges must contain the double range.
float floatAtOrBelow(double value)
{
    float rounded = float(value);
    return double(rounded) > value ? std::nextafter(rounded, -std::numeric_limits<float>::infinity()) : rounded;
}

float floatAtOrAbove(double value)
{
    float rounded = float(value);
    return double(rounded) < value ? std::nextafter(rounded, std::numeric_limits<float>::infinity()) : rounded;
}

} // namespace

IcicleRenderer::IcicleRenderer(const IcicleResources& resources)
    : resources(resources)
    , componentToClip(Matrix<double, 4, 4>::identity())
{
}

Matrix<double, 4, 4> IcicleRenderer::forViewport(double width, double height)
{
    Matrix<double, 4, 4> matrix = Matrix<double, 4, 4>::identity();
    matrix.at(0, 0) = 2.0 / width;
    matrix.at(1, 1) = -2.0 / height;
    matrix.at(3, 0) = -1.0;
    matrix.at(3, 1) = 1.0;
    return matrix;
}

IcicleRenderer::Camera IcicleRenderer::camera(Vector<double, 2> componentSize, Vector<double, 2> visibleRange,
                                              double rowScale, double firstRow) const
{
    // Chart space (bytes, rows) to component units: row firstRow at the top edge, each row
    // rowScale of the component's height.
    const double sx = componentSize[0] / (visibleRange[1] - visibleRange[0]);
    const double sy = componentSize[1] * rowScale;
    Matrix<double, 4, 4> chartToComponent = Matrix<double, 4, 4>::identity();
    chartToComponent.at(0, 0) = sx;
    chartToComponent.at(1, 1) = sy;
    chartToComponent.at(3, 0) = -visibleRange[0] * sx;
    chartToComponent.at(3, 1) = -sy * firstRow;
    const Matrix<double, 4, 4> r = multiply(componentToClip, chartToComponent);

    Camera view;
    view.xOffset = float(r.at(3, 0) / r.at(0, 0));
    view.transform.at(0, 0) = float(r.at(0, 0));
    view.transform.at(0, 1) = float(r.at(0, 1));
    view.transform.at(1, 0) = float(r.at(1, 0));
    view.transform.at(1, 1) = float(r.at(1, 1));
    // What the float xOffset misses of the translation, in double before the last rounding.
    view.transform.at(2, 0) = float(r.at(3, 0) - double(view.xOffset) * r.at(0, 0));
    view.transform.at(2, 1) = float(r.at(3, 1));
    return view;
}

void IcicleRenderer::drawMesh(const IcicleMesh<MasterPtr, int>& mesh, Vector<double, 2> componentSize,
                              Vector<double, 2> visibleRange, double rowScale, double firstRow,
                              Vector<float, 2> viewportSize, float uiScale)
{
    submitted = 0;
    const double span = visibleRange[1] - visibleRange[0];
    // The negated test also stops NaN; a component without area has nothing to show either.
    if (!(span > 0.0) || !mesh.mesh || !(componentSize[0] > 0.0))
        return;
    RangeList ranges;
    if (mesh.levelIndex) {
        const double cullWidth = uiScale * cellGapX * span / (componentSize[0] * mesh.totalSize);
        ranges = selectRanges(*mesh.levelIndex, floatAtOrBelow(visibleRange[0]), floatAtOrAbove(visibleRange[1]),
                              cullWidth, false);
    } else {
        ranges.append(mesh.baseCount, mesh.mesh->vertexCount);
    }
    BlockPass blocks;
    blocks.detailLevel = detailLevel(span, componentSize[0], mesh.totalSize, uiScale);
    if (mesh.blockMesh && mesh.blockIndex) {
        blocks.mesh = mesh.blockMesh.get();
        blocks.ranges = selectRanges(*mesh.blockIndex, floatAtOrBelow(visibleRange[0]), floatAtOrAbove(visibleRange[1]),
                                     uiScale * cellGapX * span / (componentSize[0] * mesh.totalSize), false);
    }
    drawPasses(*mesh.mesh, ranges, camera(componentSize, visibleRange, rowScale, firstRow), labelPass,
               resources.palette, viewportSize, uiScale, nullptr, {}, &blocks, mesh.labelPage());
}

int IcicleRenderer::detailLevel(double span, double componentWidth, double totalSize, float uiScale) const
{
    // The same cull width as drawMesh hands to selectRanges.
    return IcicleLevelIndex::finestLevel(uiScale * cellGapX * span / (componentWidth * totalSize));
}

void IcicleRenderer::drawPreviewMesh(DynamicMesh<GeometryVertex>& mesh, int first, Vector<double, 2> componentSize,
                                     Vector<double, 2> visibleRange, double rowScale, double firstRow,
                                     Vector<float, 2> viewportSize, float uiScale, const RangeList* labelRanges,
                                     PackedLabels extraLabels)
{
    submitted = 0;
    if (!(visibleRange[1] - visibleRange[0] > 0.0) || !(componentSize[0] > 0.0))
        return;
    RangeList ranges;
    ranges.append(first, mesh.vertexCount);
    drawPasses(mesh, ranges, camera(componentSize, visibleRange, rowScale, firstRow), labelPass,
               resources.greyPalette, viewportSize, uiScale, labelRanges, extraLabels);
}

void IcicleRenderer::drawLabelOnly(Mesh<GeometryVertex>& mesh, int count, double totalSize,
                                   Vector<double, 2> componentSize, Vector<float, 2> viewportSize, float uiScale,
                                   const LabelPage& page)
{
    submitted = 0;
    if (!(totalSize > 0.0) || !(componentSize[0] > 0.0))
        return;
    RangeList ranges;
    ranges.append(0, count);
    drawPasses(mesh, ranges, camera(componentSize, Vector<double, 2> { { 0.0, totalSize } }, 1.0, 0.0), true,
               nullptr, viewportSize, uiScale, nullptr, {}, nullptr, page);
}

void IcicleRenderer::drawPasses(Mesh<GeometryVertex>& mesh, const RangeList& cellRanges, const Camera& view, bool labels,
                                Texture1D* palette, Vector<float, 2> viewportSize, float uiScale, const RangeList* labelRanges,
                                PackedLabels extraLabels, const BlockPass* blocks, const LabelPage& page)
{
    assert(resources.context && resources.labelShader && resources.rectangleShader
           && "IcicleRenderer: make it from resources filled by createIcicleResources");
    GlContext& context = *resources.context;
    // The gap is a whole number of pixels so that cell edges fall on the pixel grid alike.
    const Vector<float, 2> gap { { std::round(uiScale * cellGapX), std::round(uiScale * cellGapY) } };
    auto drawRanges = [&](Shader& shader, Mesh<GeometryVertex>& from, const RangeList& ranges) {
        const int64_t vertexCount = from.vertexCount;
        for (size_t i = 0; i < ranges.size(); ++i) {
            const int64_t first = std::max<int64_t>(ranges[i].first, 0);
            const int64_t last = std::min(ranges[i].last, vertexCount);
            if (first >= last)
                continue;
            shader.draw(POINTS, *from.vertexArray, int(first), int(last - first));
            submitted += last - first;
        }
    };

    if (labels) {
        LabelShader& labelShader = *resources.labelShader;
        context.bindTexture(0, resources.atlas);
        // A chart's own page draws codes 128-255; without one, the built-in font stands in (its
        // upper half of the table is empty).
        context.bindTexture(1, page.glyphTable ? page.glyphTable : resources.glyphTable);
        context.bindTexture(LabelShader::PAGE_ATLAS_UNIT, page.atlas ? page.atlas : resources.atlas);
        if (page.atlas)
            labelShader.setPageSize(float(page.width), float(page.height));
        labelShader.setTransform(view.transform, view.xOffset);
        labelShader.setInsetAndAspect(gap, viewportSize);
        labelShader.setFade(labelFadeLength, labelSupersampleThreshold, viewportSize[0]);
        drawRanges(labelShader, mesh, labelRanges ? *labelRanges : cellRanges);
        if (extraLabels.mesh) {
            RangeList all;
            all.append(0, extraLabels.count);
            drawRanges(labelShader, *extraLabels.mesh, all);
        }
    }
    if (!palette)
        return;

    RectangleShader& rectangles = *resources.rectangleShader;
    context.bindTexture(0, palette);
    rectangles.setTransform(view.transform, view.xOffset);
    rectangles.setInset(gap, viewportSize);
    rectangles.setBevel(narrowCellThreshold, viewportSize[0]);
    rectangles.setDetailLevel(blocks ? blocks->detailLevel : IcicleLevelIndex::levelCount - 1);
    drawRanges(rectangles, mesh, cellRanges);
    if (blocks && blocks->mesh)
        drawRanges(rectangles, *blocks->mesh, blocks->ranges);
}
