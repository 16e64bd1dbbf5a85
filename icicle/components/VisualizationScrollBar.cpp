// VisualizationScrollBar: while the thumb is shown widened, a drag is measured on the displayed
// thumb but applied to the real one, so the thumb catches up with the pointer over successive
// moves instead of jumping. Fractions are clamped with comparisons that also catch NaN (a bar of
// zero width divides by zero).
#include "icicle/components/VisualizationScrollBar.h"

using namespace orvex::gui;

namespace {

constexpr int LEFT_BUTTON = 1;

double unitClamp(double value)
{
    if (value >= 0.0 && value <= 1.0)
        return value;
    return value > 0.0 ? 1.0 : 0.0;
}

} // namespace

VisualizationScrollBar::VisualizationScrollBar(const Renderer::StyleObject* thumbStyle) { style = thumbStyle; }

VisualizationScrollBar::~VisualizationScrollBar() = default;

void VisualizationScrollBar::setThumb(double start, double end)
{
    thumbStart = start;
    thumbEnd = end;
}

VisualizationScrollBar::Thumb VisualizationScrollBar::displayedThumb(Thumb thumb, double width, double scale)
{
    const double minimum = MIN_THUMB_WIDTH * scale / width;
    const double share = thumb.end - thumb.start;
    if (minimum > share && share < 1.0) {
        const double start = thumb.start / (1.0 - share) * (1.0 - minimum);
        return { start, start + minimum };
    }
    return thumb;
}

Vector2 VisualizationScrollBar::layout(Vector2 minimum, Vector2, double layoutScale, int)
{
    size = minimum;
    scale = layoutScale;
    return minimum;
}

Response VisualizationScrollBar::draw(Renderer& renderer)
{
    Renderer::StateScope pressed(renderer, dragging ? uint32_t(Renderer::PRESSED) : 0u, Renderer::PRESSED);
    const Thumb shown = displayedThumb();
    renderer.fillRectangle({ size.x * shown.start, 0.0, size.x * shown.end, size.y }, 0, style);
    return HANDLED;
}

Response VisualizationScrollBar::mousePress(const orvex::MouseButtonEvent& event, ClickSequence&)
{
    if (event.button != LEFT_BUTTON)
        return 0;
    const double p = unitClamp(event.x / size.x);
    Thumb shown = displayedThumb();
    if (p < shown.start || p >= shown.end) {
        const double share = thumbEnd - thumbStart;
        thumbStart = (1.0 - share) * p;
        thumbEnd = thumbStart + share;
        shown = displayedThumb();
        listeners.invoke(p);
    }
    dragging = true;
    grabOffset = p - shown.start;
    return HANDLED | REDRAW;
}

Response VisualizationScrollBar::mouseMove(const orvex::MouseMoveEvent& event, bool)
{
    if (!dragging || !(event.buttons & buttonBit(LEFT_BUTTON)))
        return 0;
    const double delta = event.x / size.x - displayedThumb().start - grabOffset;
    if (delta == 0.0)
        return HANDLED;
    thumbStart += delta;
    thumbEnd += delta;
    if (thumbStart < 0.0) {
        thumbEnd -= thumbStart;
        thumbStart = 0.0;
    } else if (thumbEnd > 1.0) {
        thumbStart -= thumbEnd - 1.0;
        thumbEnd = 1.0;
    }
    thumbStart = unitClamp(thumbStart);
    thumbEnd = unitClamp(thumbEnd);
    const double share = thumbEnd - thumbStart;
    if (share < 1.0)
        listeners.invoke(thumbStart / (1.0 - share));
    return HANDLED | REDRAW;
}

Response VisualizationScrollBar::mouseRelease(const orvex::MouseButtonEvent& event)
{
    if (event.button != LEFT_BUTTON || !dragging)
        return 0;
    dragging = false;
    return HANDLED | REDRAW;
}

Response VisualizationScrollBar::resetInput()
{
    if (!dragging)
        return 0;
    dragging = false;
    return HANDLED | REDRAW;
}
