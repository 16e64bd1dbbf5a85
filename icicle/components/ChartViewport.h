// ChartViewport: confines one chart draw to its component's rectangle. The chart programs clamp
// cells and start labels at the viewport's edges, so for the length of a draw the GL viewport is
// narrowed to the component's pixels (and the renderer's clip, the scissor box, to the component);
// both are restored when it ends. The component's place comes from the renderer's offset, in the
// client pixels BasicGLRenderer projects (top-left origin, the viewport covering the framebuffer).
// Main thread, with the context current.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/FrameBuffer.h"
#include "gui/Geometry.h"
#include "gui/Renderer.h"

namespace orvex {
class GlContext;
}

class ChartViewport {
public:
    // Where a component of `size` at client offset `offset` lands in a framebuffer `framebufferHeight`
    // pixels tall: its pixel rectangle (GL's bottom-left origin; edges rounded half away from zero,
    // as the renderer rounds its scissor box) and the matrix from component units into that
    // viewport's clip space, exact for fractional offsets.
    struct Placement {
        orvex::FrameBuffer::Rect pixels;
        orvex::Matrix<double, 4, 4> componentToClip;
        bool empty() const { return pixels.x1 <= pixels.x0 || pixels.y1 <= pixels.y0; }
        orvex::Vector<float, 2> pixelSize() const
        {
            return { { float(pixels.x1 - pixels.x0), float(pixels.y1 - pixels.y0) } };
        }
    };
    static Placement place(orvex::gui::Vector2 offset, orvex::gui::Vector2 size, int framebufferHeight);

    ChartViewport(orvex::gui::Renderer& renderer, orvex::GlContext& context, orvex::gui::Vector2 size);
    ~ChartViewport();
    ChartViewport(const ChartViewport&) = delete;
    ChartViewport& operator=(const ChartViewport&) = delete;

    const Placement& placement() const { return where; }

private:
    orvex::gui::ClipScope clip;
    orvex::FrameBuffer* target;
    orvex::FrameBuffer::Rect savedViewport;
    Placement where;
};
