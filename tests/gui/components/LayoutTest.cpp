// Layouts: row, column and island geometry, hit-testing, and the routing of capture, hover,
// focus and keyboard traversal.
#include "ComponentTestSupport.h"

#include "gui/Button.h"
#include "gui/envelopes/Disableable.h"
#include "gui/layouts/HorizontalLayout.h"
#include "gui/layouts/IslandLayouts.h"
#include "gui/layouts/TopIslandLayoutReverseDrawOrder.h"
#include "gui/layouts/VerticalLayout.h"

#include "engine/window/KeyCodes.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace guitest {
namespace {

std::vector<Rect> rects(const Layout& layout)
{
    std::vector<Rect> out;
    for (const Layout::Entry& entry : layout.children)
        out.push_back(entry.rect);
    return out;
}

TEST(HorizontalLayoutTest, ChildrenShareTheTallestHeight)
{
    HorizontalLayout row;
    Probe *a = nullptr, *b = nullptr, *c = nullptr;
    row.add(make(a, Vector2 { 50, 20 })).add(nullptr).add(make(b, Vector2 { 60, 40 })).add(make(c, Vector2 { 70, 10 }));
    EXPECT_EQ(static_cast<Component&>(row).layout({ 0, 0 }, { 300, 100 }, 1.0), (Vector2 { 180, 40 }));
    EXPECT_EQ(rects(row), (std::vector<Rect> { { 0, 0, 50, 40 }, { 50, 0, 110, 40 }, { 110, 0, 180, 40 } }));
    // Measured once with the height open, then laid out at the shared height.
    ASSERT_EQ(c->layouts.size(), 2u);
    EXPECT_EQ(c->layouts[0].final, 0);
    EXPECT_EQ(c->layouts[1].minimum, (Vector2 { 0, 40 }));
    EXPECT_EQ(c->layouts[1].maximum, (Vector2 { 190, 40 }));
}

TEST(HorizontalLayoutTest, FixedHeightSkipsMeasuringAndWideFirstChildLeavesNothing)
{
    HorizontalLayout row;
    Probe *a = nullptr, *b = nullptr;
    row.add(make(a, Vector2 { 500, 10 })).add(make(b, Vector2 { 60, 10 }));
    EXPECT_EQ(static_cast<Component&>(row).layout({ 0, 30 }, { 300, 30 }, 1.0), (Vector2 { 300, 30 }));
    ASSERT_EQ(b->layouts.size(), 1u);
    EXPECT_EQ(b->layouts[0].maximum, (Vector2 { 0, 30 }));
    EXPECT_EQ(rects(row), (std::vector<Rect> { { 0, 0, 300, 30 }, { 300, 0, 300, 30 } }));
}

TEST(VerticalLayoutTest, ChildrenShareTheWidestWidth)
{
    VerticalLayout column;
    Probe *a = nullptr, *b = nullptr;
    column.add(make(a, Vector2 { 50, 20 })).add(make(b, Vector2 { 80, 30 }));
    EXPECT_EQ(static_cast<Component&>(column).layout({ 0, 0 }, { 300, 100 }, 1.0), (Vector2 { 80, 50 }));
    EXPECT_EQ(rects(column), (std::vector<Rect> { { 0, 0, 80, 20 }, { 0, 20, 80, 50 } }));
}

TEST(HorizontalLayoutTest, BoundaryBetweenChildrenBelongsToNeither)
{
    HorizontalLayout row;
    Probe *a = nullptr, *b = nullptr;
    row.add(make(a, Vector2 { 50, 10 })).add(make(b, Vector2 { 50, 10 }));
    static_cast<Component&>(row).layout({ 0, 10 }, { 100, 10 }, 1.0);
    const std::vector<std::pair<Vector2, int64_t>> probes { { { 49.5, 5 }, 0 }, { { 50, 5 }, -1 }, { { 50.5, 5 }, 1 },
                                                             { { 100, 5 }, -1 }, { { 10, 10 }, -1 }, { { 0, 5 }, -1 } };
    for (const auto& [position, expected] : probes)
        EXPECT_EQ(row.childAt(position), expected) << position.x << "," << position.y;
}

struct IslandRow {
    const char* name;
    std::function<UniquePtr<Layout>(UniquePtr<Component> island, UniquePtr<Component> main)> make;
    int64_t islandIndex;
    Vector2 size;
    Rect islandRect, mainRect;
    Vector2 relaidIsland; // the island's size after being stretched to the shared length
};

class IslandLayoutTest : public ::testing::TestWithParam<IslandRow> {};

TEST_P(IslandLayoutTest, IslandIsStretchedToTheSharedLength)
{
    const IslandRow& row = GetParam();
    Probe *island = nullptr, *main = nullptr;
    UniquePtr<Layout> layout = row.make(make(island, Vector2 { 100, 20 }), make(main, Vector2 { 300, 50 }));
    EXPECT_EQ(static_cast<Component&>(*layout).layout({ 0, 0 }, { 500, 500 }, 1.0), row.size);
    EXPECT_EQ(layout->children[size_t(row.islandIndex)].rect, row.islandRect);
    EXPECT_EQ(layout->children[size_t(1 - row.islandIndex)].rect, row.mainRect);
    ASSERT_EQ(island->layouts.size(), 2u);
    EXPECT_EQ(island->layouts[1].minimum, row.relaidIsland);
    EXPECT_EQ(island->layouts[1].maximum, row.relaidIsland);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IslandLayoutTest,
    ::testing::Values(
        IslandRow { "Top", [](auto i, auto m) { return UniquePtr<Layout>(makeUnique<TopIslandLayout>(std::move(i), std::move(m))); },
                    0, { 300, 70 }, { 0, 0, 300, 20 }, { 0, 20, 300, 70 }, { 300, 20 } },
        IslandRow { "Bottom", [](auto i, auto m) { return UniquePtr<Layout>(makeUnique<BottomIslandLayout>(std::move(m), std::move(i))); },
                    1, { 300, 70 }, { 0, 50, 300, 70 }, { 0, 0, 300, 50 }, { 300, 20 } },
        IslandRow { "Left", [](auto i, auto m) { return UniquePtr<Layout>(makeUnique<LeftIslandLayout>(std::move(i), std::move(m))); },
                    0, { 400, 50 }, { 0, 0, 100, 50 }, { 100, 0, 400, 50 }, { 100, 50 } },
        IslandRow { "Right", [](auto i, auto m) { return UniquePtr<Layout>(makeUnique<RightIslandLayout>(std::move(m), std::move(i))); },
                    1, { 400, 50 }, { 300, 0, 400, 50 }, { 0, 0, 300, 50 }, { 100, 50 } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TopIslandLayoutReverseDrawOrderTest, DrawsMainChildFirst)
{
    class Tag : public Renderer::StyleObject {} islandStyle, mainStyle;
    Probe *island = nullptr, *main = nullptr;
    TopIslandLayoutReverseDrawOrder layout(make(island, Vector2 { 10, 10 }), make(main, Vector2 { 10, 10 }));
    island->style = &islandStyle;
    main->style = &mainStyle;
    static_cast<Component&>(layout).layout({ 0, 0 }, { 100, 100 }, 1.0);
    RecordingRenderer renderer;
    layout.draw(renderer);
    ASSERT_EQ(renderer.calls.size(), 2u);
    EXPECT_EQ(renderer.calls[0].style, &mainStyle);
    EXPECT_EQ(renderer.calls[0].offset, (Vector2 { 0, 10 }));
    EXPECT_EQ(renderer.calls[1].style, &islandStyle);
}

// Two 50 x 40 probes side by side; a presses capture.
class RoutingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        row.add(make(a, Vector2 { 50, 40 })).add(make(b, Vector2 { 50, 40 }));
        static_cast<Component&>(row).layout({ 0, 40 }, { 100, 40 }, 1.0);
        a->answers["press"] = HANDLED;
    }
    HorizontalLayout row;
    Probe *a = nullptr, *b = nullptr;
    ClickSequence clicks;
};

TEST_F(RoutingTest, CapturedChildGetsMovesAndReleasesUntilEveryButtonIsUp)
{
    row.mousePress(button(1, 25, 20), clicks);
    row.mousePress(button(3, 75, 20), clicks); // a second button goes to the captured child
    row.mouseMove(moveTo(75, 20), true);
    row.mouseRelease(button(1, 75, 20));
    row.mouseRelease(button(3, 75, 20));
    EXPECT_EQ(a->events, (std::vector<std::string> { "press 1 25,20", "press 3 75,20", "moveAway 75,20", "release 1 75,20",
                                                     "release 3 75,20" }));
    EXPECT_EQ(row.captured, -1);

    row.mouseRelease(button(1, 75, 20));
    EXPECT_EQ(b->events, (std::vector<std::string> { "move 25,20", "release 1 25,20" }));
}

TEST_F(RoutingTest, HoverMovesWithOneLeaveAndResetKeepsFocus)
{
    a->answers["gainFocus"] = HANDLED | TAKE_FOCUS;
    row.focus(a);
    row.mouseMove(moveTo(10, 10), true);
    row.mouseMove(moveTo(60, 10), true);
    row.mouseMove(moveTo(70, 10), true);
    EXPECT_EQ(std::count(a->events.begin(), a->events.end(), "leave"), 1);
    EXPECT_EQ(row.hovered, 1);
    EXPECT_EQ(row.mouseLeave(), 0u);
    EXPECT_EQ(b->events.back(), "leave");
    EXPECT_EQ(row.hovered, -1);

    row.mousePress(button(1, 25, 20), clicks);
    EXPECT_EQ(row.resetInput(), HANDLED);
    EXPECT_EQ(row.focused, 0);
    EXPECT_EQ(row.captured, -1);
    EXPECT_EQ(row.pressedButtons, 0u);
}

TEST_F(RoutingTest, FocusedChildSeesPressesElsewhereFirst)
{
    b->answers["gainFocus"] = HANDLED | TAKE_FOCUS;
    EXPECT_EQ(row.focus(b), HANDLED | TAKE_FOCUS);
    EXPECT_EQ(row.focus(nullptr), 0u);
    EXPECT_EQ(row.focused, 1);

    b->answers["pressOutside"] = HANDLED;
    row.mousePress(button(1, 25, 20), clicks);
    EXPECT_TRUE(a->events.empty());
    EXPECT_EQ(row.captured, 1);
    row.mouseRelease(button(1, 25, 20));
    EXPECT_EQ(b->events.back(), "release 1 -25,20");

    // A press the focused child lets pass moves the focus to the child that asks for it.
    b->answers["pressOutside"] = TAKE_FOCUS;
    a->answers["press"] = HANDLED | TAKE_FOCUS;
    EXPECT_EQ(row.mousePress(button(1, 25, 20), clicks), HANDLED | TAKE_FOCUS);
    EXPECT_EQ(row.focused, 0);
    EXPECT_EQ(b->events.back(), "loseFocus");
}

struct Counter {
    int clicks = 0;
    void click() { ++clicks; }
};

// The window's Tab handling: the focused path first, then traversal, wrapping around.
Response tab(Component& root, bool shift)
{
    const int modifiers = shift ? orvex::MOD_LEFT_SHIFT : 0;
    Response answer = root.keyPress(key(orvex::KEY_TAB, modifiers));
    if (answer & HANDLED)
        return answer;
    Response traversal = root.focusTraverse(shift ? 1 : 0);
    if (!(traversal & HANDLED))
        traversal |= root.focusTraverse(shift ? 3 : 2);
    return answer | traversal;
}

TEST(FocusTraversalTest, TabWrapsAroundAndSkipsDisabledButtons)
{
    Counter counter;
    HorizontalLayout row;
    Disableable* disabler = nullptr;
    for (int i = 0; i < 3; ++i) {
        UniquePtr<Button> b = makeUnique<Button>();
        b->addAction(makeUnique<orvex::MemberFunctionCallee<Counter, void>>(&counter, &Counter::click));
        if (i == 1)
            row.add(make(disabler, std::move(b)));
        else
            row.add(std::move(b));
    }
    disabler->setDisabled(true);

    std::vector<int64_t> focusedAfterTab;
    for (bool shift : { false, false, false, true, true }) {
        tab(row, shift);
        focusedAfterTab.push_back(row.focused);
    }
    EXPECT_EQ(focusedAfterTab, (std::vector<int64_t> { 0, 2, 0, 2, 0 }));

    // Running off the end leaves no child focused and does not claim the Tab.
    EXPECT_EQ(row.focusTraverse(1) & HANDLED, 0u);
    EXPECT_EQ(row.focused, -1);

    tab(row, false);
    row.keyPress(key(orvex::KEY_ENTER));
    row.keyRelease(key(orvex::KEY_ENTER));
    EXPECT_EQ(counter.clicks, 1);
}

TEST(LayoutTest, ReplacingAChildDropsItsFocusCaptureAndHover)
{
    HorizontalLayout row;
    Probe* a = nullptr;
    row.add(make(a));
    row.focused = row.captured = row.hovered = 0;
    UniquePtr<Component> old = row.setChild(0, makeUnique<Probe>());
    EXPECT_EQ(old.get(), a);
    EXPECT_EQ(row.focused, -1);
    EXPECT_EQ(row.captured, -1);
    EXPECT_EQ(row.hovered, -1);
    EXPECT_EQ(row.setChild(4, makeUnique<Probe>()), nullptr);
    EXPECT_EQ(row.count(), 5);
    EXPECT_EQ(row.childComponent(2), nullptr);
}

} // namespace
} // namespace guitest
