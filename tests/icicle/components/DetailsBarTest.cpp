// The hovered cell as the chart tracks it (moves, leaving, a reset, a zoom under a still pointer)
// and the details bar that follows it: headless, with a hand-made lookup and text objects that
// measure 7 pixels per code point and count how often their text is set.
#include "icicle/components/DetailsBar.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/ShellActions.h"
#include "icicle/IcicleNodeLookup.h"
#include "gui/TextObjectFactory.h"
#include "tests/gui/components/ComponentTestSupport.h"
#include "tests/icicle/TreeBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace orvex::gui;
using testtree::dir;
using testtree::file;

namespace {

class NoShell : public ShellActions {
public:
    void open(std::string_view) override {}
    void reveal(std::string_view) override {}
};

class CountingObserver : public ChartObserver {
public:
    void chartNodesChanged() override { ++calls; }
    int calls = 0;
};

class MeasuringText : public guitest::FakeTextObject {
public:
    MeasuringText(int* sets, size_t* longest) : sets(sets), longest(longest) {}
    void setText(std::u32string_view value) override
    {
        FakeTextObject::setText(value);
        ++*sets;
        *longest = std::max(*longest, value.size());
    }
    Rect bounds() const override { return { 0, 0, 7.0 * double(text.size()), 15 }; }
    int* sets;
    size_t* longest;
};

class MeasuringFactory : public TextObjectFactory {
public:
    TextObject* create(double, bool) override { return new MeasuringText(&sets, &longest); }
    int sets = 0;       // over every text object made
    size_t longest = 0; // the longest text any of them was given
};

// 1,000 bytes: row 1 holds a (600) and d (400), row 2 b (400) under d. The chart is 200 x 160
// pixels with rows 20 pixels high: a is x 0-120 and d x 120-200 at y 0-20, b below d at y 20-40.
class HoverTest : public ::testing::Test {
public:
    HoverTest()
    {
        auto tree = testtree::build(dir("/r", { file("a", 600), dir("d", { file("b", 400) }) }));
        a = testtree::child(tree.get(), "a");
        d = testtree::child(tree.get(), "d");
        b = testtree::child(d, "b");
        std::vector<IcicleNodeLookup::Row> rows;
        IcicleNodeLookup::recordCell(rows, 0, 0, 1000, tree.get());
        IcicleNodeLookup::recordCell(rows, 1, 0, 600, a);
        IcicleNodeLookup::recordCell(rows, 1, 600, 1000, d);
        IcicleNodeLookup::recordCell(rows, 2, 600, 1000, b);
        lookup.assign(std::move(tree), std::move(rows));
        mesh.totalSize = 1000.0;
        settings.smoothScrolling = false;
        chart = std::make_unique<IcicleVisualization>(IcicleResources {}, mesh, lookup, settings, shell, [] { return 1.0; });
        chart->layout({ 200, 160 }, { 200, 160 }, 1.0);
        chart->setObserver(&observer);
    }
    void pointAt(double x, double y, bool inside = true) { chart->mouseMove({ x, y, 0, 0, 0 }, inside); }

    FilesystemNode *a = nullptr, *d = nullptr, *b = nullptr;
    IcicleMesh<orvex::MasterPtr, int> mesh;
    IcicleNodeLookup lookup;
    ChartSettings settings;
    NoShell shell;
    CountingObserver observer;
    guitest::RecordingRenderer renderer;
    std::unique_ptr<IcicleVisualization> chart;
};

TEST_F(HoverTest, TheHoveredCellFollowsThePointerAndOnlyChangesAreTold)
{
    struct Move {
        const char* name;
        double x, y;
        bool inside;
        FilesystemNode* HoverTest::*expected; // null: no cell
        int calls;
    };
    const Move moves[] = {
        { "onto a", 50, 10, true, &HoverTest::a, 1 },
        { "within a", 60, 12, true, &HoverTest::a, 1 },
        { "onto d", 150, 10, true, &HoverTest::d, 2 },
        { "onto b below d", 150, 30, true, &HoverTest::b, 3 },
        { "below every cell", 150, 100, true, nullptr, 4 },
        { "back onto b", 150, 30, true, &HoverTest::b, 5 },
        { "a drag's move outside the chart", 150, 30, false, nullptr, 6 },
        { "onto a at the middle", 100, 10, true, &HoverTest::a, 7 },
    };
    for (const Move& move : moves) {
        pointAt(move.x, move.y, move.inside);
        EXPECT_EQ(chart->hoveredNode(), move.expected ? this->*move.expected : nullptr) << move.name;
        EXPECT_EQ(observer.calls, move.calls) << move.name;
    }
    chart->mouseLeave();
    EXPECT_EQ(chart->hoveredNode(), nullptr);
    pointAt(100, 10);
    chart->resetInput();
    EXPECT_EQ(chart->hoveredNode(), nullptr);
    EXPECT_EQ(observer.calls, 10);

    // Four notches in about the right edge show bytes 528-1000: under the still pointer at x 100,
    // byte 764 (d) replaces a once the zoom is drawn.
    pointAt(100, 10);
    chart->mouseWheel({ -4, 0, 200, 50 });
    chart->draw(renderer);
    EXPECT_EQ(chart->hoveredNode(), d);
    EXPECT_EQ(observer.calls, 12);
}

TEST_F(HoverTest, TheBarDescribesTheHoverElseTheFocusAndSetsOnlyNewText)
{
    MeasuringFactory factory;
    int frames = 0;
    DetailsBar bar(factory, 15, nullptr, *chart, DetailsText(lookup.root(), {}), [&] { ++frames; });
    bar.layout({ 0, 0 }, { 2000, 100 }, 1.0, 1);
    const int initial = factory.sets;
    bar.draw(renderer);
    EXPECT_EQ(bar.text(), "/r — 1000 B (1,000 bytes) — 2 files, 1 folder") << "the focus, while nothing is hovered";
    const int focusShown = factory.sets;
    EXPECT_GT(focusShown, initial);

    pointAt(50, 10);
    EXPECT_EQ(frames, 1) << "a new cell asks for a frame";
    bar.draw(renderer);
    EXPECT_EQ(bar.text(), "/r/a — 600 B (600 bytes) — 60.0 % of parent, 60.0 % of total");

    // Moving within the cell and drawing again cost nothing; a change that leaves the line as it
    // was costs the measurer one layout, and the label's text is not set again.
    const int hoverShown = factory.sets;
    pointAt(60, 12);
    bar.draw(renderer);
    bar.chartNodesChanged();
    bar.draw(renderer);
    EXPECT_EQ(factory.sets - hoverShown, 1) << "only the measurer's one check of the unchanged line";

    // A narrow bar gives up the exact bytes before any of the path.
    bar.layout({ 0, 0 }, { 7.0 * 60, 100 }, 1.0, 1);
    bar.draw(renderer);
    EXPECT_EQ(bar.text(), "/r/a — 600 B — 60.0 % of parent, 60.0 % of total");
    chart->mouseLeave();
    bar.draw(renderer);
    EXPECT_EQ(bar.text(), "/r — 1000 B (1,000 bytes) — 2 files, 1 folder");

    // A path far wider than the bar (thousands of levels deep) is never laid out whole: the
    // measurer sees candidates of about the bar's width, and the name is kept.
    std::string deep;
    for (int i = 0; i < 3000; ++i)
        deep += "d/";
    a->rename(deep + "leaf");
    factory.longest = 0;
    pointAt(50, 10);
    bar.draw(renderer);
    EXPECT_LE(factory.longest, 4 * 420u / 2) << "code points given to a text object";
    EXPECT_TRUE(bar.text().starts_with("/r/d/d/")) << bar.text();
    EXPECT_NE(bar.text().find("\u2026/leaf \u2014 600 B"), std::string::npos) << bar.text();
}

} // namespace
