// The scroll bar without GL: the displayed thumb (widened to 16 pixels per UI scale), what it
// draws and in which state, and the positions its listeners receive for presses and drags.
#include "icicle/components/VisualizationScrollBar.h"
#include "tests/gui/components/ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace orvex::gui;
using Thumb = VisualizationScrollBar::Thumb;

namespace {

constexpr int LEFT = 1;

TEST(VisualizationScrollBarThumbTest, ThumbIsWidenedToSixteenPixelsPerScaleAndPlacedByItsTravel)
{
    struct Row {
        const char* name;
        Thumb thumb;
        double width, scale;
        Thumb expected;
    } rows[] = {
        { "wide enough: as set", { 0.2, 0.7 }, 1000, 1, { 0.2, 0.7 } },
        { "0.1 % at the start", { 0.0, 0.001 }, 1000, 1, { 0.0, 0.016 } },
        { "0.1 % at the end", { 0.999, 1.0 }, 1000, 1, { 0.984, 1.0 } },
        { "0.1 % in the middle of its travel", { 0.4995, 0.5005 }, 1000, 1, { 0.492, 0.508 } },
        { "scale 2 doubles the minimum", { 0.0, 0.001 }, 1000, 2, { 0.0, 0.032 } },
        { "the whole tree fills the track", { 0.0, 1.0 }, 10, 1, { 0.0, 1.0 } },
    };
    for (const Row& row : rows) {
        const Thumb shown = VisualizationScrollBar::displayedThumb(row.thumb, row.width, row.scale);
        EXPECT_NEAR(shown.start, row.expected.start, 1e-12) << row.name;
        EXPECT_NEAR(shown.end, row.expected.end, 1e-12) << row.name;
    }
}

class VisualizationScrollBarTest : public ::testing::Test {
protected:
    class Listener : public orvex::Callee<void, double> {
    public:
        explicit Listener(std::vector<double>* log) : log(log) {}
        Listener* clone() const override { return new Listener(*this); }
        void call(double position) override { log->push_back(position); }
        std::vector<double>* log;
    };

    void SetUp() override
    {
        bar.positionListeners().append(orvex::makeUnique<Listener>(&positions));
        bar.layout({ 1000, 16 }, { 1000, 16 }, 1.0);
    }
    Response press(double x, int button = LEFT)
    {
        ClickSequence clicks;
        return bar.mousePress({ button, 0, 0, x, 8 }, clicks);
    }
    Response drag(double x) { return bar.mouseMove({ x, 8, 0, 0, 1 << LEFT }, true); }

    guitest::RecordingRenderer::StyleObject style;
    VisualizationScrollBar bar { &style };
    std::vector<double> positions;
    guitest::RecordingRenderer renderer;
};

TEST_F(VisualizationScrollBarTest, DrawsTheDisplayedThumbPressedWhileDragging)
{
    bar.setThumb(0.25, 0.5);
    bar.draw(renderer);
    press(300);
    bar.draw(renderer);
    bar.mouseRelease({ LEFT, 2, 0, 300, 8 });
    bar.draw(renderer);
    ASSERT_EQ(renderer.calls.size(), 3u);
    EXPECT_EQ(renderer.calls[0].rect, (Rect { 250, 0, 500, 16 }));
    EXPECT_EQ(renderer.calls[0].style, &style);
    EXPECT_EQ(renderer.calls[0].state & Renderer::PRESSED, 0u);
    EXPECT_NE(renderer.calls[1].state & Renderer::PRESSED, 0u);
    EXPECT_EQ(renderer.calls[2].state & Renderer::PRESSED, 0u);
    EXPECT_TRUE(positions.empty()) << "a press on the thumb moves nothing";
}

TEST_F(VisualizationScrollBarTest, PressBesideTheThumbJumpsToThePressedTravelPosition)
{
    bar.setThumb(0.0, 0.2);
    EXPECT_EQ(press(600), HANDLED | REDRAW);
    ASSERT_EQ(positions, (std::vector<double> { 0.6 }));
    EXPECT_NEAR(bar.thumb().start, 0.48, 1e-12);
    EXPECT_NEAR(bar.thumb().end, 0.68, 1e-12);
    // The grab keeps the pointer's place on the thumb: moving 100 pixels moves it by 0.1.
    EXPECT_EQ(drag(700), HANDLED | REDRAW);
    EXPECT_NEAR(bar.thumb().start, 0.58, 1e-12);
    EXPECT_NEAR(positions.back(), 0.58 / 0.8, 1e-12);
    EXPECT_EQ(drag(700), HANDLED) << "no motion, no notification";
    EXPECT_EQ(positions.size(), 2u);
}

TEST_F(VisualizationScrollBarTest, DragStopsAtTheEndsAndEndsOnReleaseOrReset)
{
    bar.setThumb(0.4, 0.6);
    press(500);
    drag(2000);
    EXPECT_DOUBLE_EQ(bar.thumb().end, 1.0);
    EXPECT_NEAR(bar.thumb().start, 0.8, 1e-12);
    EXPECT_DOUBLE_EQ(positions.back(), 1.0);
    drag(-2000);
    EXPECT_DOUBLE_EQ(bar.thumb().start, 0.0);
    EXPECT_DOUBLE_EQ(positions.back(), 0.0);

    EXPECT_EQ(bar.resetInput(), HANDLED | REDRAW);
    EXPECT_EQ(drag(500), 0);
    EXPECT_EQ(bar.resetInput(), 0);
    EXPECT_EQ(bar.mouseRelease({ LEFT, 2, 0, 500, 8 }), 0);
    EXPECT_EQ(press(500, 3), 0) << "other buttons do nothing";
}

TEST_F(VisualizationScrollBarTest, WholeTreeThumbAndNarrowThumbsNotifyNothingOnTheirOwn)
{
    press(500); // the whole tree: the press hits the thumb
    drag(700);
    EXPECT_TRUE(positions.empty());
    EXPECT_EQ(bar.thumb(), (Thumb { 0.0, 1.0 }));
    bar.mouseRelease({ LEFT, 2, 0, 700, 8 });

    // 0.1 % of the tree at the left end shows 16 pixels: a press inside them moves nothing.
    bar.setThumb(0.0, 0.001);
    press(10);
    EXPECT_TRUE(positions.empty());
}

} // namespace
