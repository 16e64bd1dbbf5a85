// IcicleVisualization: input turned into view changes, the two animations and the chart's draw.
// Animations advance once per drawn frame by the frame stopwatch; the wheel and the release read
// the same stopwatch, so time is never counted twice and an animation always starts from "now".
//
// [SECTION] Construction and the scroll bar
// [SECTION] Layout and draw
// [SECTION] Mouse input
// [SECTION] The hovered cell
// [SECTION] Animations
// [SECTION] Selection and focus
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
    , navigation(lookup)
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

void IcicleVisualization::scrollPositionChanged(double position)
{
    settleView();
    chartView.scrollTo(position);
}

void IcicleVisualization::notifyScrollBar()
{
    if (scrollBar)
        scrollBar->setThumb((chartView.visibleStart - chartView.focusStart) / chartView.focusWidth(),
                            (chartView.visibleEnd - chartView.focusStart) / chartView.focusWidth());
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
    if (pendingPlacement && size.x > 0.0) {
        applyPlacement(*pendingPlacement);
        pendingPlacement.reset();
    }
    return minimum;
}

Response IcicleVisualization::draw(Renderer& target)
{
    const double dt = frameClock.lap(clock());
    Response flags = smoothScrollStep(dt) | inertiaStep(dt);
    if (transition.step(dt, chartView)) {
        flags |= transition.running() ? HANDLED | REDRAW : HANDLED;
        notifyScrollBar();
    }
    updateHover();
    drawChart(target);
    drawSelection(target);
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
                      chartView.rowScale, chartView.firstRow, viewport.placement().pixelSize(), float(scale));
}

// [SECTION] Mouse input

Response IcicleVisualization::mousePress(const orvex::MouseButtonEvent& event, ClickSequence& clicks)
{
    Response answer = 0;
    if (inertia != DragMode::NONE) {
        inertia = DragMode::NONE;
        answer |= HANDLED;
    }
    settleView();
    const Vector2 position { event.x, event.y };
    if (event.button == BACK_BUTTON)
        return goUp() ? answer | HANDLED | REDRAW : answer;
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
        dragTravel = 0.0;
    }
    pressPosition = position;
    // A left press puts the keyboard focus on the chart, for the selection keys.
    keyboardFocus = true;
    return answer | HANDLED | TAKE_FOCUS;
}

void IcicleVisualization::openNodeAt(Vector2 position, Vector2 previousPress)
{
    const FilesystemNode* node = lookup->nodeAt(chartView.byteAt(position.x, size.x), chartView.rowAt(position.y, size.y));
    const FilesystemNode* previous
        = lookup->nodeAt(chartView.byteAt(previousPress.x, size.x), chartView.rowAt(previousPress.y, size.y));
    if (!node || node != previous || node->scanSummary) // the summary of several scans is no path
        return;
    const std::string path = IcicleNodeLookup::nodePath(node);
    if (node->type == FilesystemNode::Type::DIRECTORY)
        shell->open(path);
    else
        shell->reveal(path);
}

Response IcicleVisualization::mouseMove(const orvex::MouseMoveEvent& event, bool pointerInside)
{
    pointer = { event.x, event.y };
    pointerKnown = pointerInside;
    updateHover();
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
    dragTravel = std::max(dragTravel, std::hypot(event.x - pressPosition.x, event.y - pressPosition.y));
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
    // A press and release that never moved farther than a double click may is a click: it selects.
    const Vector2 at { event.x, event.y };
    if (isPanning(drag)
        && std::max(dragTravel, std::hypot(at.x - pressPosition.x, at.y - pressPosition.y)) <= DOUBLE_PRESS_DISTANCE
        && select(nodeAt(at)))
        answer |= REDRAW;
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
    settleView();
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
    forgetPointer();
    if (drag == DragMode::NONE)
        return 0;
    drag = DragMode::NONE;
    return HANDLED;
}

Response IcicleVisualization::mouseLeave()
{
    forgetPointer();
    return 0;
}

// [SECTION] The hovered cell

void IcicleVisualization::updateHover()
{
    const FilesystemNode* now = nullptr;
    const SmallItemBlock* block = nullptr;
    if (pointerKnown && size.x > 0.0 && size.y > 0.0) {
        // A block covers children too narrow for cells of their own: it is what the pointer is on.
        block = smallItemsAt(pointer);
        if (!block)
            now = lookup->nodeAt(chartView.byteAt(pointer.x, size.x), chartView.rowAt(pointer.y, size.y));
    }
    if (now == hovered && block == hoveredSmall)
        return;
    hovered = now;
    hoveredSmall = block;
    notifyObserver();
}

void IcicleVisualization::forgetPointer()
{
    pointerKnown = false;
    updateHover();
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

// [SECTION] Selection and focus

const FilesystemNode* IcicleVisualization::rootNode() const { return lookup->root(); }

const FilesystemNode* IcicleVisualization::nodeAt(Vector2 position) const
{
    const FilesystemNode* node = lookup->nodeAt(chartView.byteAt(position.x, size.x), chartView.rowAt(position.y, size.y));
    return ChartNavigation::isWithin(node, focused) ? node : nullptr;
}

bool IcicleVisualization::select(const FilesystemNode* node)
{
    std::optional<ChartCell> cell;
    if (node && ChartNavigation::isWithin(node, focused))
        cell = navigation.cellOf(node);
    if (!cell)
        node = nullptr;
    if (node == selected)
        return false;
    selected = node;
    selectedCell = cell;
    notifyObserver();
    return true;
}

IcicleView IcicleVisualization::viewFocusedOn(const FilesystemNode* folder, const ChartCell& cell) const
{
    IcicleView target = chartView;
    // The whole tree keeps its usual view: row 1 on top, the root row left to the root label.
    if (folder == rootNode())
        target.setFocus(0.0, chartView.totalSize, 1.0);
    else
        target.setFocus(cell.x0, cell.x1, double(cell.row));
    return target;
}

bool IcicleVisualization::goInto(const FilesystemNode* folder)
{
    if (!folder || folder == focused || folder->type != FilesystemNode::Type::DIRECTORY)
        return false;
    const std::optional<ChartCell> cell = navigation.cellOf(folder);
    if (!cell)
        return false;
    settleView();
    moveView(folder, viewFocusedOn(folder, *cell));
    return true;
}

void IcicleVisualization::moveView(const FilesystemNode* folder, const IcicleView& target)
{
    // The zoom and the drag that were under way belonged to the old view.
    pendingZoomAmount = 0.0;
    inertia = DragMode::NONE;
    const bool newFocus = folder != focused;
    focused = folder;
    if (settings->smoothScrolling) {
        transition.start(chartView, target, ViewTransition::DURATION);
        chartView.focusStart = target.focusStart;
        chartView.focusEnd = target.focusEnd;
        chartView.focusRow = target.focusRow;
        frameClock.lap(clock()); // the animation starts now, not at the last frame
    } else {
        chartView = target;
    }
    if (selected && !ChartNavigation::isWithin(selected, focused))
        select(focused);
    notifyScrollBar();
    if (!newFocus)
        return;
    notifyObserver();
    focusChanged.invoke();
}

bool IcicleVisualization::goUp()
{
    const FilesystemNode* left = focused;
    if (!canGoUp() || !goInto(left->parent))
        return false;
    select(left);
    return true;
}

bool IcicleVisualization::goHome()
{
    settleView();
    // The whole tree as it first appeared: all of it across the width, the first rows at their
    // first height, also when the focus already is the whole tree.
    const IcicleView home(chartView.totalSize);
    if (focused == rootNode() && chartView.visibleStart == home.visibleStart && chartView.visibleEnd == home.visibleEnd
        && chartView.rowScale == home.rowScale && chartView.firstRow == home.firstRow)
        return false;
    moveView(rootNode(), home);
    return true;
}

void IcicleVisualization::followSelection()
{
    if (selectedCell && chartView.bringIntoView(selectedCell->x0, selectedCell->x1))
        notifyScrollBar();
    showSelectedRows();
}

void IcicleVisualization::showSelectedRows()
{
    if (const std::optional<ChartCell>& cell = selectedCell)
        chartView.bringRowsIntoView(double(cell->row), double(cell->row) + (cell->hangs ? fileCellHeight : 1.0));
}

void IcicleVisualization::settleView()
{
    if (!transition.running())
        return;
    transition.finish(chartView);
    notifyScrollBar();
}

void IcicleVisualization::copySelectedPath()
{
    if (selected)
        shell->copyText(IcicleNodeLookup::nodePath(selected));
}

std::optional<Rect> IcicleVisualization::selectedRect() const
{
    if (!selected || !selectedCell)
        return std::nullopt;
    const ChartCell& cell = *selectedCell;
    const double bottom = double(cell.row) + (cell.hangs ? fileCellHeight : 1.0);
    return Rect { chartView.xAt(cell.x0, size.x), chartView.yAt(double(cell.row), size.y), chartView.xAt(cell.x1, size.x),
                  chartView.yAt(bottom, size.y) };
}

IcicleVisualization::Placement IcicleVisualization::placement(const FilesystemNode* anchor) const
{
    Placement kept { focused, selected, anchor, 0.0, 0.0, chartView.rowScale,
                     chartView.visibleStart <= chartView.focusStart && chartView.visibleEnd >= chartView.focusEnd };
    const std::optional<ChartCell> cell = navigation.cellOf(anchor);
    if (cell && size.x > 0.0) {
        kept.anchorX = chartView.xAt(cell->x0, size.x);
        kept.bytesPerPixel = (chartView.visibleEnd - chartView.visibleStart) / size.x;
    }
    return kept;
}

void IcicleVisualization::takePlacement(const Placement& kept)
{
    if (size.x > 0.0)
        applyPlacement(kept);
    else
        pendingPlacement = kept;
}

void IcicleVisualization::applyPlacement(const Placement& kept)
{
    const FilesystemNode* folder = kept.focused ? kept.focused : rootNode();
    std::optional<ChartCell> cell = navigation.cellOf(folder);
    if (!cell) {
        folder = rootNode();
        cell = navigation.cellOf(folder);
    }
    focused = folder;
    if (cell)
        chartView = viewFocusedOn(folder, *cell);
    chartView.rowScale = kept.rowScale;
    const std::optional<ChartCell> anchorCell = navigation.cellOf(kept.anchor);
    if (anchorCell && kept.bytesPerPixel > 0.0 && !kept.wholeFocus) {
        const double start = anchorCell->x0 - kept.anchorX * kept.bytesPerPixel;
        chartView.showRange(start, start + size.x * kept.bytesPerPixel);
    }
    select(kept.selected);
    showSelectedRows(); // a selection the keys took below the first rows stays in view
    notifyScrollBar();
    notifyObserver();
    if (focused != rootNode())
        focusChanged.invoke();
}

void IcicleVisualization::setOutlineStyles(const Renderer::StyleObject* light, const Renderer::StyleObject* dark)
{
    outline.light = light;
    outline.dark = dark;
}

void IcicleVisualization::drawSelection(Renderer& target)
{
    const std::optional<Rect> cell = selectedRect();
    if (cell && size.x > 0.0 && size.y > 0.0)
        outline.draw(target, *cell, { 0.0, 0.0, size.x, size.y }, scale);
}

const FilesystemNode* IcicleVisualization::arrowTarget(int key) const
{
    // Without a selection any arrow starts at the top row: the focused folder's own cell, or at the
    // whole tree (whose root row the chart does not draw) its largest child.
    if (!selected)
        return focused == rootNode() ? navigation.largestChild(focused) : focused;
    switch (key) {
    case orvex::KEY_LEFT:
    case orvex::KEY_RIGHT:
        // The focused folder's siblings are out of view.
        return selected == focused ? nullptr : navigation.sibling(selected, key == orvex::KEY_LEFT ? -1 : 1);
    case orvex::KEY_UP:
        return selected == focused || selected->parent == rootNode() ? nullptr : selected->parent;
    case orvex::KEY_DOWN:
        return navigation.largestChild(selected);
    default:
        return nullptr;
    }
}

Response IcicleVisualization::keyPress(const orvex::KeyEvent& event)
{
    if (event.action != orvex::ACTION_PRESS && event.action != orvex::ACTION_REPEAT)
        return 0;
    const bool ctrl = event.modifiers & orvex::MOD_CTRL, alt = event.modifiers & orvex::MOD_ALT;
    const bool plain = !(event.modifiers & (orvex::MOD_CTRL | orvex::MOD_ALT | orvex::MOD_SHIFT));
    settleView();
    bool changed = false;
    switch (event.key) {
    case orvex::KEY_UP:
        if (alt) {
            changed = goUp();
            break;
        }
        [[fallthrough]];
    case orvex::KEY_LEFT:
    case orvex::KEY_RIGHT:
    case orvex::KEY_DOWN:
        if (!plain)
            return 0;
        // At an end the selection stays where it is; a cell the keys reach off screen (sideways or
        // below the last row shown) is brought into view.
        if (const FilesystemNode* target = arrowTarget(event.key))
            changed = select(target);
        if (changed)
            followSelection();
        break;
    case orvex::KEY_ENTER:
    case orvex::KEY_KEYPAD_ENTER:
        if (!plain)
            return 0;
        changed = goInto(selected);
        break;
    case orvex::KEY_BACKSPACE:
        changed = goUp();
        break;
    case orvex::KEY_HOME:
        changed = goHome();
        break;
    case orvex::KEY_C:
        if (!ctrl || alt)
            return 0;
        copySelectedPath();
        break;
    default:
        return 0;
    }
    return changed ? HANDLED | REDRAW : HANDLED;
}

std::optional<Rect> IcicleVisualization::focusBounds() { return Rect { 0.0, 0.0, size.x, size.y }; }

Response IcicleVisualization::focusTraverse(int direction)
{
    // One stop in the Tab order: entered from either side, left by the next step.
    if (direction == 2 || direction == 3) {
        keyboardFocus = true;
        return HANDLED | TAKE_FOCUS;
    }
    keyboardFocus = false;
    return 0;
}

Response IcicleVisualization::gainFocus()
{
    keyboardFocus = true;
    return HANDLED | TAKE_FOCUS;
}

Response IcicleVisualization::loseFocus()
{
    keyboardFocus = false;
    return HANDLED;
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
