// IcicleVisualization: input turned into view changes, the two animations and the chart's draw.
// Animations advance once per drawn frame by the frame stopwatch; the wheel and the release read
// the same stopwatch, so time is never counted twice and an animation always starts from "now".
//
// [SECTION] Construction and the scroll bar
// [SECTION] Layout and draw
// [SECTION] Mouse input
// [SECTION] Animations
// [SECTION] Small-item blocks
#include "icicle/components/IcicleVisualization.h"

#include "engine/core/Callee.h"
#include "engine/window/KeyCodes.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/components/ChartViewport.h"
#include "icicle/components/ShellActions.h"
#include "icicle/components/VisualizationScrollBar.h"

#include <algorithm>
#include <cmath>

using namespace orvex::gui;

namespace {

constexpr int LEFT_BUTTON = 1;
constexpr int MIDDLE_BUTTON = 3;
// Per second, what is left of a wheel step still to apply, and of the drag velocity.
constexpr double DECAY_PER_SECOND = 1.0 / 256.0;
// The least zoom a wheel animation applies per second, so it ends in finite time.
constexpr double LINEAR_ZOOM_RATE = 0.125;
constexpr double VELOCITY_WEIGHT = 0.75; // of the newest move against the running velocity

bool isPanning(IcicleVisualization::DragMode mode)
{
    return mode == IcicleVisualization::DragMode::HORIZONTAL || mode == IcicleVisualization::DragMode::BOTH;
}

} // namespace

// [SECTION] Construction and the scroll bar

IcicleVisualization::IcicleVisualization(const IcicleResources& resources, const IcicleMesh<orvex::MasterPtr, int>& mesh,
                                         const IcicleNodeLookup& lookup, const ChartSettings& settings, ShellActions& shell,
                                         ChartClock clock)
    : renderer(resources)
    , context(resources.context)
    , mesh(&mesh)
    , lookup(&lookup)
    , settings(&settings)
    , shell(&shell)
    , clock(std::move(clock))
    , chartView(mesh.totalSize)
{
    focused = lookup.root();
    const double now = this->clock();
    frameClock.start(now);
    moveClock.start(now);
}

IcicleVisualization::~IcicleVisualization() = default;

void IcicleVisualization::setScrollBar(VisualizationScrollBar* bar)
{
    scrollBar = bar;
    if (!bar)
        return;
    bar->positionListeners().append(orvex::makeUnique<orvex::MemberFunctionCallee<IcicleVisualization, void, double>>(
        this, &IcicleVisualization::scrollPositionChanged));
    notifyScrollBar();
}

void IcicleVisualization::scrollPositionChanged(double position) { chartView.scrollTo(position); }

void IcicleVisualization::notifyScrollBar()
{
    if (scrollBar)
        scrollBar->setThumb(chartView.visibleStart / chartView.totalSize, chartView.visibleEnd / chartView.totalSize);
}

bool IcicleVisualization::zoomView(double amount, double anchor)
{
    if (!chartView.zoom(amount, anchor))
        return false;
    notifyScrollBar();
    return true;
}

bool IcicleVisualization::panView(double pixels)
{
    if (!chartView.pan(pixels, size.x))
        return false;
    notifyScrollBar();
    return true;
}

// [SECTION] Layout and draw

Vector2 IcicleVisualization::layout(Vector2 minimum, Vector2, double layoutScale, int)
{
    size = minimum;
    scale = layoutScale;
    return minimum;
}

Response IcicleVisualization::draw(Renderer& target)
{
    const double dt = frameClock.lap(clock());
    const Response flags = smoothScrollStep(dt) | inertiaStep(dt);
    drawChart(target);
    return flags | HANDLED;
}

void IcicleVisualization::drawChart(Renderer& target)
{
    // Without a GPU mesh (GL could not make it) there is nothing to draw; without a context the
    // component runs headless, as in the interaction tests.
    if (!context || !mesh->mesh || !(size.x > 0.0) || !(size.y > 0.0))
        return;
    ChartViewport viewport(target, *context, size);
    if (viewport.placement().empty())
        return;
    renderer.setComponentToClip(viewport.placement().componentToClip);
    renderer.drawMesh(*mesh, { { size.x, size.y } }, { { chartView.visibleStart, chartView.visibleEnd } },
                      chartView.rowScale, 1.0, viewport.placement().pixelSize(), float(scale));
}

// [SECTION] Mouse input

Response IcicleVisualization::mousePress(const orvex::MouseButtonEvent& event, ClickSequence& clicks)
{
    Response answer = 0;
    if (inertia != DragMode::NONE) {
        inertia = DragMode::NONE;
        answer |= HANDLED;
    }
    const Vector2 position { event.x, event.y };
    if (event.button == MIDDLE_BUTTON) {
        drag = DragMode::MIDDLE_ZOOM;
        pressPosition = position;
        return answer | HANDLED;
    }
    if (event.button != LEFT_BUTTON)
        return answer;

    if (inertiaEnabled()) {
        velocity = {};
        moveClock.lap(clock());
    }
    // Read on every left press: a click sequence continues only while someone asks for its count.
    const bool secondPress = clicks.clickCount() == 2;
    const Vector2 moved = position - pressPosition;
    if (secondPress && std::hypot(moved.x, moved.y) <= DOUBLE_PRESS_DISTANCE) {
        drag = DragMode::NONE;
        openNodeAt(position, pressPosition);
    } else {
        drag = (event.modifiers & orvex::MOD_SHIFT) ? DragMode::HORIZONTAL : DragMode::BOTH;
    }
    pressPosition = position;
    return answer | HANDLED;
}

void IcicleVisualization::openNodeAt(Vector2 position, Vector2 previousPress)
{
    const FilesystemNode* node = lookup->nodeAt(chartView.byteAt(position.x, size.x), chartView.rowAt(position.y, size.y));
    const FilesystemNode* previous
        = lookup->nodeAt(chartView.byteAt(previousPress.x, size.x), chartView.rowAt(previousPress.y, size.y));
    if (!node || node != previous)
        return;
    const std::string path = IcicleNodeLookup::nodePath(node);
    if (node->type == FilesystemNode::Type::DIRECTORY)
        shell->open(path);
    else
        shell->reveal(path);
}

Response IcicleVisualization::mouseMove(const orvex::MouseMoveEvent& event, bool)
{
    if (drag == DragMode::MIDDLE_ZOOM && (event.buttons & buttonBit(MIDDLE_BUTTON))) {
        Response answer = HANDLED;
        if (event.dy != 0.0
            && zoomView(event.dy * settings->middleMouseSpeedMultiplier * MIDDLE_ZOOM_RATE, event.x / size.x))
            answer |= REDRAW;
        return answer;
    }
    if (!isPanning(drag) || !(event.buttons & buttonBit(LEFT_BUTTON)))
        return 0;

    Response answer = HANDLED;
    const double dt = inertiaEnabled() ? moveClock.lap(clock()) : 0.0;
    if (dt > 0.0)
        velocity.x = VELOCITY_WEIGHT * event.dx / dt + (1.0 - VELOCITY_WEIGHT) * velocity.x;
    if (panView(event.dx))
        answer |= REDRAW;
    if (drag == DragMode::BOTH) {
        if (dt > 0.0) {
            velocity.y = VELOCITY_WEIGHT * event.dy / dt + (1.0 - VELOCITY_WEIGHT) * velocity.y;
            inertiaAnchorY = event.y;
        }
        if (chartView.scaleRows(event.dy, event.y))
            answer |= REDRAW;
    }
    return answer;
}

Response IcicleVisualization::mouseRelease(const orvex::MouseButtonEvent& event)
{
    // Only the button that started the drag ends it: releasing another one mid-drag (pressed
    // while the first was held) must not drop the drag under the still-held button.
    const int dragButton = drag == DragMode::MIDDLE_ZOOM ? MIDDLE_BUTTON : LEFT_BUTTON;
    if (drag == DragMode::NONE || event.button != dragButton)
        return 0;
    Response answer = HANDLED;
    inertia = DragMode::NONE;
    if (inertiaEnabled() && isPanning(drag)) {
        if (moveClock.lap(clock()) > INERTIA_RELEASE_WINDOW)
            velocity = {};
        if (velocity.x != 0.0 || velocity.y != 0.0) {
            inertia = drag;
            answer |= smoothScrollStep(frameClock.lap(clock())) | REDRAW;
        }
    }
    drag = DragMode::NONE;
    return answer;
}

Response IcicleVisualization::mouseWheel(const orvex::MouseWheelEvent& event)
{
    Response answer = smoothScrollStep(frameClock.lap(clock())) | HANDLED;
    zoomAnchor = event.x / size.x;
    if (event.delta == 0.0)
        return answer;
    const double amount = event.delta * settings->scrollSpeedMultiplier;
    if (settings->smoothScrolling) {
        pendingZoomAmount += amount;
        answer |= REDRAW;
    } else if (zoomView(amount, zoomAnchor)) {
        answer |= REDRAW;
    }
    return answer;
}

Response IcicleVisualization::resetInput()
{
    if (drag == DragMode::NONE)
        return 0;
    drag = DragMode::NONE;
    return HANDLED;
}

// [SECTION] Animations

Response IcicleVisualization::smoothScrollStep(double dt)
{
    if (pendingZoomAmount == 0.0)
        return 0;
    const double sign = pendingZoomAmount > 0.0 ? 1.0 : -1.0;
    const double linear = sign * std::min(LINEAR_ZOOM_RATE * dt, std::abs(pendingZoomAmount));
    const double rest = pendingZoomAmount - linear;
    pendingZoomAmount = rest * std::pow(DECAY_PER_SECOND, dt);
    const double applied = rest - pendingZoomAmount + linear;
    // At a zoom limit the rest could never be applied: drop it so the frames stop.
    if (applied != 0.0 && !zoomView(applied, zoomAnchor))
        pendingZoomAmount = 0.0;
    return pendingZoomAmount != 0.0 ? HANDLED | REDRAW : HANDLED;
}

Response IcicleVisualization::inertiaStep(double dt)
{
    if (!isPanning(inertia))
        return 0;
    if (velocity.x == 0.0 && velocity.y == 0.0) {
        inertia = DragMode::NONE;
        return 0;
    }
    // A frame that took no time moves nothing; that must not read as "the view cannot move".
    if (!(dt > 0.0))
        return HANDLED | REDRAW;
    Response answer = HANDLED;
    const double dy = dt * velocity.y;
    inertiaAnchorY += dy;
    const double dx = dt * velocity.x;

    // A constant deceleration of one pixel per second per second, then the exponential decay.
    const double speed = std::hypot(velocity.x, velocity.y);
    const double damping = std::max(0.0, (speed - dt) / speed) * std::pow(DECAY_PER_SECOND, dt);
    velocity.x *= damping;
    velocity.y *= damping;

    if (panView(dx))
        answer |= REDRAW;
    else
        velocity.x = 0.0;
    if (inertia == DragMode::BOTH) {
        if (chartView.scaleRows(dy, inertiaAnchorY))
            answer |= REDRAW;
        else
            velocity.y = 0.0;
    }
    if (velocity.x == 0.0 && velocity.y == 0.0)
        inertia = DragMode::NONE;
    return answer;
}

// [SECTION] Small-item blocks

int IcicleVisualization::detailLevel() const
{
    return renderer.detailLevel(chartView.visibleEnd - chartView.visibleStart, size.x, mesh->totalSize, float(scale));
}

const SmallItemBlock* IcicleVisualization::smallItemsAt(Vector2 position) const
{
    if (!(size.x > 0.0) || !(size.y > 0.0))
        return nullptr;
    return lookup->smallItemsAt(chartView.byteAt(position.x, size.x), chartView.rowAt(position.y, size.y), detailLevel());
}
