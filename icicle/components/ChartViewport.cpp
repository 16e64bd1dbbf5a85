// ChartViewport: the renderer's offset is read through the abstract Renderer (pushing a zero
// offset hands back the current one), so the chart needs nothing of the GL renderer but the
// convention that its units are framebuffer pixels.
#include "icicle/components/ChartViewport.h"

#include "engine/gl/GlContext.h"

#include <cmath>

using orvex::gui::Vector2;

namespace {

Vector2 currentOffset(orvex::gui::Renderer& renderer)
{
    Vector2 previous;
    renderer.pushOffset(previous);
    renderer.restoreOffset(previous);
    return previous;
}

orvex::FrameBuffer* drawingTarget(orvex::GlContext& context)
{
    orvex::FrameBuffer* target = context.currentFrameBuffer();
    return target ? target : context.screenFrameBuffer();
}

} // namespace

ChartViewport::Placement ChartViewport::place(Vector2 offset, Vector2 size, int framebufferHeight)
{
    const double left = std::round(offset.x);
    const double top = std::round(offset.y);
    const double right = std::round(offset.x + size.x);
    const double bottom = std::round(offset.y + size.y);
    Placement placement;
    placement.pixels = { int(left), framebufferHeight - int(bottom), int(right), framebufferHeight - int(top) };
    placement.componentToClip = orvex::Matrix<double, 4, 4>::identity();
    if (placement.empty())
        return placement;
    const double width = right - left;
    const double height = bottom - top;
    placement.componentToClip.at(0, 0) = 2.0 / width;
    placement.componentToClip.at(1, 1) = -2.0 / height;
    placement.componentToClip.at(3, 0) = 2.0 * (offset.x - left) / width - 1.0;
    placement.componentToClip.at(3, 1) = 1.0 - 2.0 * (offset.y - top) / height;
    return placement;
}

ChartViewport::ChartViewport(orvex::gui::Renderer& renderer, orvex::GlContext& context, Vector2 size)
    : clip(renderer, { 0.0, 0.0, size.x, size.y })
    , target(drawingTarget(context))
    , savedViewport(target->viewport())
    , where(place(currentOffset(renderer), size, target->size()[1]))
{
    if (!where.empty())
        target->setViewport(where.pixels);
}

ChartViewport::~ChartViewport()
{
    if (where.empty())
        return;
    const orvex::Vector<int, 2> extent = target->size();
    // A viewport that covered the whole target goes back to following it, so a later resize
    // still finds it whole.
    if (savedViewport == orvex::FrameBuffer::Rect { 0, 0, extent[0], extent[1] })
        target->resetViewport();
    else
        target->setViewport(savedViewport);
}
