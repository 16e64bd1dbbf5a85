// ChartScreen: the flat parts (backgrounds, scroll-bar thumb) are scissored clears, which need no
// shader; the root label and the chart go through IcicleRenderer with one component-to-clip matrix
// per component over a viewport that covers the whole target, as in the application's window.
#include "tools/snapshot/ChartScreen.h"

#include "engine/gl/FrameBuffer.h"
#include "engine/gl/GlContext.h"
#include "icicle/IcicleRenderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr orvex::Color<float> WINDOW_BACKGROUND { 0.0625f, 0.0625f, 0.0625f, 1.0f };
constexpr orvex::Color<float> CHART_BACKGROUND { 0.125f, 0.0f, 0.125f, 1.0f };
constexpr orvex::Color<float> THUMB { 0.3125f, 0.3125f, 0.3125f, 1.0f };
constexpr double MIN_THUMB_PIXELS = 16.0;

// Fills pixel columns [x0, x1) of pixel rows [top, bottom) (counted from the top).
void fill(orvex::FrameBuffer& target, int x0, int x1, int top, int bottom, orvex::Color<float> color)
{
    const int height = target.size()[1];
    target.setScissor({ x0, height - bottom, x1, height - top });
    target.context()->clear(color);
    target.disableScissor();
}

// The thumb as the scroll bar displays it: at least 16 pixels wide, placed by its share of the
// free travel when it had to be widened.
orvex::Vector<double, 2> displayedThumb(double start, double end, double width)
{
    const double minimum = MIN_THUMB_PIXELS / width;
    const double share = end - start;
    if (minimum > share && share < 1.0) {
        const double left = start / (1.0 - share) * (1.0 - minimum);
        return { { left, left + minimum } };
    }
    return { { start, end } };
}

} // namespace

void sortByName(FilesystemNode& root)
{
    std::vector<FilesystemNode*> pending { &root };
    while (!pending.empty()) {
        FilesystemNode* node = pending.back();
        pending.pop_back();
        FilesystemNode::Children& children = node->children;
        std::sort(children.elements, children.elements + children.count,
                  [](const orvex::UniquePtr<FilesystemNode>& a, const orvex::UniquePtr<FilesystemNode>& b) {
                      return a->name.view() < b->name.view();
                  });
        for (int64_t i = 0; i < children.count; ++i)
            pending.push_back(children[i]);
    }
}

uint64_t minimumNodeSize(uint64_t totalBytes) { return std::max<uint64_t>(totalBytes >> 20, 1); }

orvex::Matrix<double, 4, 4> componentToClip(double top, orvex::Vector<int, 2> framebuffer)
{
    orvex::Matrix<double, 4, 4> m = orvex::Matrix<double, 4, 4>::identity();
    m.at(0, 0) = 2.0 / framebuffer[0];
    m.at(1, 1) = -2.0 / framebuffer[1];
    m.at(3, 0) = -1.0;
    m.at(3, 1) = 1.0 - 2.0 * top / framebuffer[1];
    return m;
}

void drawChartScreen(IcicleRenderer& renderer, const IcicleMesh<orvex::MasterPtr, int>& mesh,
                     orvex::FrameBuffer& target, orvex::Vector<double, 2> view, int rows)
{
    const orvex::Vector<int, 2> size = target.size();
    const double width = size[0];
    const orvex::Vector<float, 2> viewport { { float(size[0]), float(size[1]) } };
    target.makeCurrent();
    target.resetViewport();
    target.disableScissor();
    target.setBlending(true);
    target.context()->clear(WINDOW_BACKGROUND);

    // The scroll bar draws only its thumb; the chart slot is filled below it.
    const int barTop = ChartScreenLayout::BAND_HEIGHT;
    const int barBottom = barTop + ChartScreenLayout::SCROLL_BAR_HEIGHT;
    const orvex::Vector<double, 2> thumb = displayedThumb(view[0] / mesh.totalSize, view[1] / mesh.totalSize, width);
    fill(target, int(std::lround(thumb[0] * width)), int(std::lround(thumb[1] * width)), barTop, barBottom, THUMB);
    fill(target, 0, size[0], barBottom, size[1], CHART_BACKGROUND);
    if (!mesh.mesh)
        return;

    renderer.setComponentToClip(componentToClip(0.0, size));
    renderer.drawLabelOnly(*mesh.mesh, mesh.baseCount, mesh.totalSize,
                           { { width, double(ChartScreenLayout::BAND_HEIGHT) } }, viewport, 1.0f, mesh.labelPage());

    const double chartHeight = double(size[1] - ChartScreenLayout::CHART_TOP);
    renderer.setComponentToClip(componentToClip(ChartScreenLayout::CHART_TOP, size));
    renderer.drawMesh(mesh, { { width, chartHeight } }, view, 1.0 / rows, 1.0, viewport, 1.0f);
}
