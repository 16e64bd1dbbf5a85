// The chart's interaction without GL: the view arithmetic (zoom about an anchor, pan, row scaling,
// scroll position) in tables, and the component's drags, wheel, smooth scrolling and inertia
// driven by a hand-advanced clock. The component runs headless: no context, no GPU mesh.
#include "icicle/components/IcicleView.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/ShellActions.h"
#include "icicle/components/VisualizationScrollBar.h"
#include "engine/window/KeyCodes.h"
#include "icicle/IcicleNodeLookup.h"
#include "tests/gui/components/ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace orvex::gui;

namespace {

const double E = std::exp(IcicleView::ZOOM_RATE); // one zoom unit

// [SECTION] The view arithmetic

struct ZoomRow {
    const char* name;
    double start, end, amount, anchor;
    bool changed;
    double expectedStart, expectedEnd;
};

TEST(IcicleViewTest, ZoomKeepsTheAnchorByteAndStaysInsideTheTree)
{
    const double T = 1000.0;
    const ZoomRow rows[] = {
        { "in at the left edge keeps the left byte", 100, 500, -1, 0.0, true, 100, 100 + 400 / E },
        { "in at the right edge keeps the right byte", 100, 500, -1, 1.0, true, 500 - 400 / E, 500 },
        { "out about the middle keeps the middle byte", 400, 600, 1, 0.5, true, 500 - 100 * E, 500 + 100 * E },
        { "out past the start shifts right", 10, 110, 5, 0.5, true, 0, 100 * std::exp(5 * 0.1875) },
        { "out past the end shifts left", 890, 990, 5, 0.5, true, T - 100 * std::exp(5 * 0.1875), T },
        { "out beyond the whole tree changes nothing", 0, T, 1, 0.3, false, 0, T },
        { "out wider than the tree clamps to it", 100, 900, 4, 0.5, true, 0, T },
        { "in stops at one byte", 10, 11, -1, 0.5, false, 10, 11 },
        { "an anchor outside the component counts as its edge", 100, 500, -1, 7.0, true, 500 - 400 / E, 500 },
        { "a NaN anchor counts as the left edge", 100, 500, -1, std::nan(""), true, 100, 100 + 400 / E },
    };
    for (const ZoomRow& row : rows) {
        IcicleView view(T);
        view.visibleStart = row.start;
        view.visibleEnd = row.end;
        EXPECT_EQ(view.zoom(row.amount, row.anchor), row.changed) << row.name;
        EXPECT_NEAR(view.visibleStart, row.expectedStart, 1e-9) << row.name;
        EXPECT_NEAR(view.visibleEnd, row.expectedEnd, 1e-9) << row.name;
    }
}

struct PanRow {
    const char* name;
    double start, end, pixels;
    bool moved;
    double expectedStart, expectedEnd;
};

TEST(IcicleViewTest, PanMovesByTheDraggedShareAndStopsAtTheEnds)
{
    const PanRow rows[] = {
        { "right shows earlier bytes", 400, 600, 50, true, 350, 550 },
        { "left shows later bytes", 400, 600, -50, true, 450, 650 },
        { "right past the start stops at 0", 20, 220, 50, true, 0, 200 },
        { "left past the end stops at the total", 780, 980, -50, true, 800, 1000 },
        { "right at the start cannot move", 0, 200, 50, false, 0, 200 },
        { "left at the end cannot move", 800, 1000, -50, false, 800, 1000 },
        { "no motion", 400, 600, 0, false, 400, 600 },
    };
    for (const PanRow& row : rows) {
        IcicleView view(1000.0);
        view.visibleStart = row.start;
        view.visibleEnd = row.end;
        EXPECT_EQ(view.pan(row.pixels, 200.0), row.moved) << row.name;
        EXPECT_DOUBLE_EQ(view.visibleStart, row.expectedStart) << row.name;
        EXPECT_DOUBLE_EQ(view.visibleEnd, row.expectedEnd) << row.name;
    }
}

TEST(IcicleViewTest, RowScalingFollowsThePointerBelowTheTopMargin)
{
    struct Row {
        const char* name;
        double rowScale, dy, y;
        bool changed;
        double expected;
    } rows[] = {
        { "down makes rows taller", 0.125, 20, 100, true, 0.125 * 100 / 80 },
        { "up makes rows shorter", 0.125, -20, 100, true, 0.125 * 100 / 120 },
        { "no vertical motion", 0.125, 0, 100, false, 0.125 },
        { "pointer within 16 pixels of the top", 0.125, 5, 15, false, 0.125 },
        { "drag that started within 16 pixels", 0.125, 10, 20, false, 0.125 },
        { "rows never outgrow the component", 0.9, 50, 100, true, 1.0 },
        { "at full height a further drag down changes nothing", 1.0, 10, 100, false, 1.0 },
    };
    for (const Row& row : rows) {
        IcicleView view(1000.0);
        view.rowScale = row.rowScale;
        EXPECT_EQ(view.scaleRows(row.dy, row.y), row.changed) << row.name;
        EXPECT_DOUBLE_EQ(view.rowScale, row.expected) << row.name;
    }
}

TEST(IcicleViewTest, ScrollPositionPlacesTheRangeInItsFreeTravelAndPixelsMapBack)
{
    struct Row {
        const char* name;
        double position, expectedStart;
    } rows[] = {
        { "left end", 0.0, 0.0 }, { "middle", 0.5, 400.0 }, { "right end", 1.0, 800.0 },
        { "beyond the right end", 3.0, 800.0 }, { "before the left end", -1.0, 0.0 },
        { "NaN from a zero-width bar", std::nan(""), 0.0 },
    };
    for (const Row& row : rows) {
        IcicleView view(1000.0);
        view.visibleStart = 300.0;
        view.visibleEnd = 500.0;
        view.scrollTo(row.position);
        EXPECT_DOUBLE_EQ(view.visibleStart, row.expectedStart) << row.name;
        EXPECT_DOUBLE_EQ(view.visibleEnd, row.expectedStart + 200.0) << row.name;
    }

    IcicleView view(1000.0);
    view.visibleStart = 200.0;
    view.visibleEnd = 600.0;
    view.rowScale = 0.25;
    EXPECT_DOUBLE_EQ(view.byteAt(50.0, 200.0), 300.0);
    EXPECT_DOUBLE_EQ(view.rowAt(0.0, 80.0), 1.0);    // row 1 starts at the top edge
    EXPECT_DOUBLE_EQ(view.rowAt(30.0, 80.0), 2.5);
}

// [SECTION] The component with a fake clock

class RecordingShell : public ShellActions {
public:
    void open(std::string_view path) override { calls.push_back("open " + std::string(path)); }
    void reveal(std::string_view path) override { calls.push_back("reveal " + std::string(path)); }
    std::vector<std::string> calls;
};

constexpr int LEFT = 1, MIDDLE = 3;
constexpr int LEFT_HELD = 1 << LEFT, MIDDLE_HELD = 1 << MIDDLE;

class IcicleVisualizationTest : public ::testing::Test {
protected:
    IcicleVisualizationTest()
    {
        mesh.totalSize = 1000.0;
        settings.smoothScrolling = false;
        settings.mouseDragInertia = 0.5;
    }
    void SetUp() override { make(); }
    void make()
    {
        chart = std::make_unique<IcicleVisualization>(IcicleResources {}, mesh, lookup, settings, shell,
                                                      [this] { return now; });
        chart->layout({ 200, 160 }, { 200, 160 }, 1.0);
    }

    Response press(double x, double y, int button = LEFT, int modifiers = 0)
    {
        ClickSequence clicks;
        return chart->mousePress({ button, 0, modifiers, x, y }, clicks);
    }
    Response move(double x, double y, double dx, double dy, int buttons = LEFT_HELD)
    {
        return chart->mouseMove({ x, y, dx, dy, buttons }, true);
    }
    Response release(double x, double y, int button = LEFT) { return chart->mouseRelease({ button, 2, 0, x, y }); }
    Response wheel(double delta, double x) { return chart->mouseWheel({ delta, 0, x, 50 }); }
    Response frame() { return chart->draw(renderer); }
    double width() const { return chart->view().visibleEnd - chart->view().visibleStart; }
    // Zooms in (without animation) to `notches` at the left edge.
    void zoomIn(double notches)
    {
        const bool smooth = settings.smoothScrolling;
        settings.smoothScrolling = false;
        wheel(-notches, 0.0);
        settings.smoothScrolling = smooth;
    }

    double now = 10.0;
    IcicleMesh<orvex::MasterPtr, int> mesh;
    IcicleNodeLookup lookup;
    ChartSettings settings;
    RecordingShell shell;
    guitest::RecordingRenderer renderer;
    std::unique_ptr<IcicleVisualization> chart;
};

TEST_F(IcicleVisualizationTest, WheelZoomsAboutThePointerAtOnceWithoutSmoothScrolling)
{
    settings.scrollSpeedMultiplier = 2.0;
    EXPECT_EQ(wheel(-1, 50.0), HANDLED | REDRAW); // anchor at a quarter of the width
    EXPECT_NEAR(width(), 1000.0 / (E * E), 1e-9);
    EXPECT_NEAR(chart->view().byteAt(50.0, 200.0), 250.0, 1e-9);
    // Out beyond the whole tree: nothing to redraw.
    EXPECT_EQ(wheel(10, 50.0), HANDLED | REDRAW);
    EXPECT_EQ(wheel(1, 50.0), HANDLED);
    EXPECT_EQ(frame(), HANDLED);
}

TEST_F(IcicleVisualizationTest, SmoothScrollingDecaysTheWheelStepAndStopsAskingForFrames)
{
    settings.smoothScrolling = true;
    EXPECT_EQ(wheel(-1, 200.0), HANDLED | REDRAW);
    EXPECT_DOUBLE_EQ(width(), 1000.0); // nothing applied before the first frame
    // Half a second: the linear floor 0.0625 plus the rest decayed to 1/16.
    now += 0.5;
    EXPECT_EQ(frame(), HANDLED | REDRAW);
    const double rest = 0.9375 / 16.0;
    EXPECT_NEAR(chart->pendingZoom(), -rest, 1e-12);
    EXPECT_NEAR(width(), 1000.0 * std::exp(-0.1875 * (1.0 - rest)), 1e-9);
    EXPECT_DOUBLE_EQ(chart->view().visibleEnd, 1000.0); // anchored at the right edge
    // The next half second's floor covers what is left: the whole notch, then no more frames.
    now += 0.5;
    EXPECT_EQ(frame(), HANDLED);
    EXPECT_EQ(chart->pendingZoom(), 0.0);
    EXPECT_NEAR(width(), 1000.0 / E, 1e-9);
    now += 0.5;
    EXPECT_EQ(frame(), HANDLED);
}

TEST_F(IcicleVisualizationTest, SmoothZoomPastTheWholeTreeDropsThePendingAmount)
{
    settings.smoothScrolling = true;
    wheel(3, 100.0);
    now += 0.016;
    EXPECT_EQ(frame(), HANDLED);
    EXPECT_EQ(chart->pendingZoom(), 0.0);
    EXPECT_DOUBLE_EQ(width(), 1000.0);
}

TEST_F(IcicleVisualizationTest, LeftDragPansAndScalesRowsShiftDragOnlyPans)
{
    zoomIn(4);
    const double start = chart->view().visibleStart, span = width();
    press(100, 40);
    EXPECT_EQ(move(80, 80, -20, 40), HANDLED | REDRAW);
    EXPECT_NEAR(chart->view().visibleStart, start + span * 20 / 200, 1e-9);
    EXPECT_DOUBLE_EQ(chart->view().rowScale, 0.125 * 80 / 40);
    release(80, 80);
    EXPECT_EQ(move(60, 80, -20, 0), 0) << "no drag after the release";

    const double rows = chart->view().rowScale;
    press(100, 40, LEFT, orvex::MOD_LEFT_SHIFT);
    EXPECT_EQ(move(120, 90, 20, 50), HANDLED | REDRAW);
    EXPECT_DOUBLE_EQ(chart->view().rowScale, rows);
    // Another button's release does not end the drag under the held left button.
    EXPECT_EQ(release(120, 90, MIDDLE), 0);
    EXPECT_EQ(chart->dragMode(), IcicleVisualization::DragMode::HORIZONTAL);
    EXPECT_EQ(chart->resetInput(), HANDLED);
    EXPECT_EQ(chart->dragMode(), IcicleVisualization::DragMode::NONE);
}

TEST_F(IcicleVisualizationTest, MiddleDragZoomsByTheVerticalMotion)
{
    settings.middleMouseSpeedMultiplier = 2.0;
    zoomIn(4);
    chart->scrollPositionChanged(0.5);
    const double before = width(), middle = chart->view().byteAt(100, 200);
    press(100, 50, MIDDLE);
    EXPECT_EQ(move(100, 58, 0, 8, MIDDLE_HELD), HANDLED | REDRAW); // 8 × 2 × 0.0625 = one unit out
    EXPECT_NEAR(width(), before * E, 1e-9);
    EXPECT_NEAR(chart->view().byteAt(100, 200), middle, 1e-9) << "the byte under the pointer stays";
    EXPECT_EQ(move(100, 58, 5, 0, MIDDLE_HELD), HANDLED) << "horizontal motion does not zoom";
    EXPECT_EQ(move(100, 66, 0, 8, LEFT_HELD), 0) << "only while the middle button is held";
}

TEST_F(IcicleVisualizationTest, FastDragReleaseContinuesWithDecayingInertia)
{
    zoomIn(8);
    chart->layout({ 200, 160 }, { 200, 160 }, 1.0);
    press(100, 40);
    now += 0.01;
    move(80, 40, -20, 0); // -2000 px/s, weighted 0.75
    now += 0.01;
    EXPECT_EQ(release(80, 40), HANDLED | REDRAW);
    EXPECT_EQ(chart->inertiaMode(), IcicleVisualization::DragMode::BOTH);

    // One frame of 0.02 s moves by the velocity before this frame's damping: 0.02 × 1500 pixels.
    const double start = chart->view().visibleStart, span = width();
    now += 0.02;
    EXPECT_EQ(frame(), HANDLED | REDRAW);
    EXPECT_NEAR(chart->view().visibleStart, start + span * 30.0 / 200.0, 1e-9);
    // A frame that took no time neither moves nor ends it.
    EXPECT_EQ(frame(), HANDLED | REDRAW);
    EXPECT_EQ(chart->inertiaMode(), IcicleVisualization::DragMode::BOTH);

    // It slows down and ends on its own, after which the frames stop.
    int frames = 0;
    while (chart->inertiaMode() != IcicleVisualization::DragMode::NONE && frames < 1000) {
        now += 1.0 / 60;
        frame();
        ++frames;
    }
    EXPECT_LT(frames, 1000);
    EXPECT_EQ(frame(), HANDLED);
}

TEST_F(IcicleVisualizationTest, InertiaStartsOnlyAfterARecentMoveWithTheSettingOn)
{
    struct Row {
        const char* name;
        double inertia;
        double pauseBeforeRelease;
        bool runs;
    } rows[] = {
        { "released right after the last move", 0.5, 0.03, true },
        { "released after a pause", 0.5, 0.07, false },
        { "inertia turned off", 0.0, 0.01, false },
    };
    for (const Row& row : rows) {
        settings.mouseDragInertia = row.inertia;
        make();
        zoomIn(8);
        press(100, 40);
        now += 0.01;
        move(80, 40, -20, 0);
        now += row.pauseBeforeRelease;
        release(80, 40);
        EXPECT_EQ(chart->inertiaMode() != IcicleVisualization::DragMode::NONE, row.runs) << row.name;
        now += 0.01;
        EXPECT_EQ((frame() & REDRAW) != 0, row.runs) << row.name;
    }
}

TEST_F(IcicleVisualizationTest, InertiaAgainstTheStartStopsAtOnceAndAPressStopsIt)
{
    zoomIn(8);
    press(100, 40, LEFT, orvex::MOD_SHIFT);
    now += 0.01;
    move(120, 40, 20, 0); // towards the start, which is already 0
    now += 0.01;
    release(120, 40);
    ASSERT_EQ(chart->inertiaMode(), IcicleVisualization::DragMode::HORIZONTAL);
    now += 0.01;
    EXPECT_EQ(frame(), HANDLED);
    EXPECT_EQ(chart->inertiaMode(), IcicleVisualization::DragMode::NONE);

    chart->scrollPositionChanged(0.5);
    press(100, 40, LEFT, orvex::MOD_SHIFT);
    now += 0.01;
    move(120, 40, 20, 0);
    now += 0.01;
    release(120, 40);
    ASSERT_EQ(chart->inertiaMode(), IcicleVisualization::DragMode::HORIZONTAL);
    EXPECT_EQ(press(120, 40, 2), HANDLED) << "any press stops the inertia";
    EXPECT_EQ(chart->inertiaMode(), IcicleVisualization::DragMode::NONE);
}

TEST_F(IcicleVisualizationTest, ScrollBarFollowsTheViewAndMovesIt)
{
    VisualizationScrollBar bar;
    bar.layout({ 1000, 16 }, { 1000, 16 }, 1.0);
    chart->setScrollBar(&bar);
    zoomIn(-std::log(0.25) / IcicleView::ZOOM_RATE); // a quarter of the tree, from the left
    EXPECT_NEAR(bar.thumb().start, 0.0, 1e-12);
    EXPECT_NEAR(bar.thumb().end, 0.25, 1e-12);

    // Pressing the bar at 60 % puts the view at 60 % of its free travel.
    ClickSequence clicks;
    bar.mousePress({ LEFT, 0, 0, 600, 8 }, clicks);
    EXPECT_NEAR(chart->view().visibleStart, 0.6 * 750.0, 1e-9);
    EXPECT_NEAR(width(), 250.0, 1e-9);
    // A pan moves the thumb by the same share.
    press(100, 40);
    move(80, 40, -20, 0);
    EXPECT_NEAR(bar.thumb().start, chart->view().visibleStart / 1000.0, 1e-12);
    EXPECT_NEAR(bar.thumb().end, chart->view().visibleEnd / 1000.0, 1e-12);
}

} // namespace
