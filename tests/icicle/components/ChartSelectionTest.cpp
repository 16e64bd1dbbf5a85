// Selection, going into folders and the context menu, headless on a laid-out tree of known sizes:
// 1 pixel per byte across a 950-pixel chart, rows 100 pixels tall.
//
//   row 1   A [0, 450)                               B [450, 850)      C [850, 950)
//   row 2   a1 [0, 300)   a2 [300, 400)   a3 [400, 450)                   c1 [850, 950)
//   row 3                                 a3x [400, 450)
#include "icicle/components/ChartContextMenu.h"
#include "icicle/components/IcicleView.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/ShellActions.h"
#include "icicle/components/TreeActions.h"
#include "scan/TreeEdit.h"
#include "icicle/components/VisualizationScrollBar.h"
#include "engine/window/KeyCodes.h"
#include "gui/TextObjectFactory.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/IcicleOptimization.h"
#include "tests/gui/components/ComponentTestSupport.h"
#include "tests/icicle/TreeBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace orvex::gui;

namespace {

class NullUploader final : public IcicleOptimization::VertexUploader {
public:
    void allocate(int64_t, int64_t) override {}
    void upload(int64_t, const GeometryVertex*, int64_t, bool, int64_t) override {}
};

class RecordingShell : public ShellActions {
public:
    void open(std::string_view path) override { calls.push_back("open " + std::string(path)); }
    void reveal(std::string_view path) override { calls.push_back("reveal " + std::string(path)); }
    void copyText(std::string_view text) override { calls.push_back("copy " + std::string(text)); }
    bool reachable(std::string_view) override { return pathsHere; }
    std::vector<std::string> calls;
    bool pathsHere = true;
};

// A text object as wide as its text at 10 units a character, so that labels differ in width.
class MeasuredTextObject : public guitest::FakeTextObject {
public:
    Rect bounds() const override { return { 0, 0, 10.0 * double(text.size()), 20 }; }
};

class FakeFactory : public TextObjectFactory {
public:
    TextObject* create(double, bool) override
    {
        return measured ? new MeasuredTextObject() : new guitest::FakeTextObject({ 0, 0, 120, 20 });
    }
    bool measured = false;
};

constexpr int LEFT = 1, RIGHT = 2;

class ChartSelectionTest : public ::testing::Test {
protected:
    ChartSelectionTest()
    {
        using namespace testtree;
        NullUploader uploader;
        const IcicleOptimization::Result result = IcicleOptimization::build(
            lookup,
            build(dir("/r", { dir("A", { file("a1", 300), file("a2", 100), dir("a3", { file("a3x", 50) }) }),
                              file("B", 400), dir("C", { file("c1", 100) }) })),
            1, uploader);
        mesh.totalSize = result.totalSize;
        settings.smoothScrolling = false;
        auto made = std::make_unique<IcicleVisualization>(IcicleResources {}, mesh, lookup, settings, shell,
                                                          [this] { return now; });
        chart = made.get();
        owned = std::move(made);
        chart->layout({ 950, 800 }, { 950, 800 }, 1.0);
    }

    // A node by its path below the root ("" for the root).
    const FilesystemNode* named(const std::string& path) const
    {
        const FilesystemNode* node = lookup.root();
        for (size_t start = 0; node && start < path.size();) {
            const size_t end = std::min(path.find('/', start), path.size());
            node = testtree::child(const_cast<FilesystemNode*>(node), path.substr(start, end - start));
            start = end + 1;
        }
        return node;
    }
    std::string nameOf(const FilesystemNode* node) const { return node ? std::string(node->name.view()) : "none"; }
    Response key(int code, int modifiers = 0, int action = orvex::ACTION_PRESS)
    {
        return chart->keyPress({ code, code, action, modifiers });
    }
    void click(double x, double y, double wobble = 0)
    {
        ClickSequence clicks;
        chart->mousePress({ LEFT, 0, 0, x, y }, clicks);
        if (wobble != 0)
            chart->mouseMove({ x + wobble, y, wobble, 0, 1 << LEFT }, true);
        chart->mouseRelease({ LEFT, 2, 0, x + wobble, y });
    }

public:
    void countFocusChange() { ++focusChanges; } // a focus listener

protected:
    int focusChanges = 0;
    double now = 10.0;
    IcicleMesh<orvex::MasterPtr, int> mesh;
    IcicleNodeLookup lookup;
    ChartSettings settings;
    RecordingShell shell;
    guitest::RecordingRenderer renderer;
    IcicleVisualization* chart = nullptr;
    std::unique_ptr<Component> owned; // the chart, or the menu layer that took it
};

// [SECTION] Selection

TEST_F(ChartSelectionTest, ArrowKeysMoveTheSelectionInDrawingOrder)
{
    struct Row {
        const char* name;
        const char* from; // null: nothing selected
        int key;
        const char* expected;
    } rows[] = {
        { "right: the next sibling", "A", orvex::KEY_RIGHT, "B" },
        { "left: the previous sibling", "A/a3", orvex::KEY_LEFT, "a2" },
        { "left at the first sibling stays", "A", orvex::KEY_LEFT, "A" },
        { "right at the last sibling stays", "C", orvex::KEY_RIGHT, "C" },
        { "right never crosses into another folder's children", "A/a3", orvex::KEY_RIGHT, "a3" },
        { "down: the largest child", "A", orvex::KEY_DOWN, "a1" },
        { "down on a file stays", "B", orvex::KEY_DOWN, "B" },
        { "up: the parent", "A/a3/a3x", orvex::KEY_UP, "a3" },
        { "up stops at the top row (the root row is the label's)", "A", orvex::KEY_UP, "A" },
        { "without a selection: the largest cell of the top row", nullptr, orvex::KEY_RIGHT, "A" },
    };
    for (const Row& row : rows) {
        chart->select(row.from ? named(row.from) : nullptr);
        const Response answer = key(row.key);
        EXPECT_TRUE(answer & HANDLED) << row.name;
        EXPECT_EQ(nameOf(chart->selectedNode()), row.expected) << row.name;
    }
    // Keys the chart does not use go on to the window (F6 reloads the settings there).
    EXPECT_EQ(key(orvex::KEY_F6), 0);
    EXPECT_EQ(key(orvex::KEY_RIGHT, orvex::MOD_LEFT_CTRL), 0);
}

TEST_F(ChartSelectionTest, ClickSelectsTheCellUnderItAndADragDoesNot)
{
    struct Row {
        const char* name;
        double x, y, wobble;
        const char* expected;
    } rows[] = {
        { "a click on a cell", 600, 50, 0, "B" },
        { "a click that wobbles within the double-click distance", 100, 150, 2, "a1" },
        { "the part of a file that hangs into the row below", 350, 220, 0, "a2" },
        { "a drag keeps the selection", 900, 150, 10, "a2" },
        { "a click on no cell clears it", 700, 250, 0, "none" },
    };
    for (const Row& row : rows) {
        click(row.x, row.y, row.wobble);
        EXPECT_EQ(nameOf(chart->selectedNode()), row.expected) << row.name;
    }
}

TEST_F(ChartSelectionTest, TheOutlineFramesTheSelectedCellAndFollowsTheView)
{
    Renderer::StyleObject light, dark;
    chart->setOutlineStyles(&light, &dark);
    chart->select(named("A/a1"));
    // A file reaches 1.272 rows down: [0, 300) × [100, 227.2).
    auto outlineBounds = [&] {
        renderer.calls.clear();
        chart->draw(renderer);
        Rect box { 1e9, 1e9, -1e9, -1e9 };
        for (const guitest::RecordingRenderer::Call& call : renderer.calls)
            box = { std::min(box.left, call.rect.left), std::min(box.top, call.rect.top),
                    std::max(box.right, call.rect.right), std::max(box.bottom, call.rect.bottom) };
        return box;
    };
    Rect box = outlineBounds();
    EXPECT_DOUBLE_EQ(box.left, -1.0); // one dark hairline outside the cell
    EXPECT_DOUBLE_EQ(box.top, 99.0);
    EXPECT_DOUBLE_EQ(box.right, 301.0);
    EXPECT_NEAR(box.bottom, 100.0 + 127.2019 + 1.0, 1e-3);

    // Going into A spreads its 450 bytes over the 950 pixels, with A's row on top.
    chart->select(named("A"));
    key(orvex::KEY_ENTER);
    chart->select(named("A/a1"));
    box = outlineBounds();
    EXPECT_NEAR(box.right, 300.0 * 950.0 / 450.0 + 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(box.top, 99.0);
}

// [SECTION] Going into folders

TEST_F(ChartSelectionTest, EnterUpAndHomeSetTheFocusAndItsViewRange)
{
    VisualizationScrollBar bar;
    bar.layout({ 950, 16 }, { 950, 16 }, 1.0);
    chart->setScrollBar(&bar);
    chart->focusListeners().append(orvex::makeUnique<orvex::MemberFunctionCallee<ChartSelectionTest, void>>(
        this, &ChartSelectionTest::countFocusChange));

    struct Row {
        const char* name;
        std::function<void()> act;
        const char* focus;
        double start, end, firstRow;
        const char* selected;
    } rows[] = {
        { "Enter on a folder in row 1", [&] { chart->select(named("A")); key(orvex::KEY_ENTER); }, "A", 0, 450, 1, "A" },
        { "Enter on a folder in row 2", [&] { chart->select(named("A/a3")); key(orvex::KEY_KEYPAD_ENTER); }, "a3", 400, 450, 2, "a3" },
        { "Enter on a file changes nothing", [&] { chart->select(named("A/a3/a3x")); key(orvex::KEY_ENTER); }, "a3", 400, 450, 2, "a3x" },
        { "Backspace: the parent, the folder left selected", [&] { key(orvex::KEY_BACKSPACE); }, "A", 0, 450, 1, "a3" },
        { "zoom out stays inside the focus", [&] { chart->mouseWheel({ 8, 0, 475, 50 }); }, "A", 0, 450, 1, "a3" },
        { "Home: the whole tree", [&] { key(orvex::KEY_HOME); }, "/r", 0, 950, 1, "a3" },
        { "Alt+Up at the whole tree changes nothing", [&] { key(orvex::KEY_UP, orvex::MOD_LEFT_ALT); }, "/r", 0, 950, 1, "a3" },
        { "the menu's Go into on C", [&] { chart->goInto(named("C")); }, "C", 850, 950, 1, "C" },
        { "the back button", [&] { ClickSequence c; chart->mousePress({ IcicleVisualization::BACK_BUTTON, 0, 0, 5, 5 }, c); }, "/r", 0, 950, 1, "C" },
    };
    int expectedChanges = 0;
    std::string lastFocus = "/r";
    for (const Row& row : rows) {
        row.act();
        expectedChanges += lastFocus != row.focus;
        lastFocus = row.focus;
        EXPECT_EQ(nameOf(chart->focusedNode()), row.focus) << row.name;
        EXPECT_DOUBLE_EQ(chart->view().visibleStart, row.start) << row.name;
        EXPECT_DOUBLE_EQ(chart->view().visibleEnd, row.end) << row.name;
        EXPECT_DOUBLE_EQ(chart->view().firstRow, row.firstRow) << row.name;
        EXPECT_EQ(nameOf(chart->selectedNode()), row.selected) << row.name;
        EXPECT_EQ(focusChanges, expectedChanges) << row.name;
        EXPECT_DOUBLE_EQ(bar.thumb().start, 0.0) << row.name;
        EXPECT_DOUBLE_EQ(bar.thumb().end, 1.0) << row.name;
    }
}

TEST_F(ChartSelectionTest, ZoomPanAndScrollKeepToTheFocusRange)
{
    struct Row {
        const char* name;
        std::function<void(IcicleView&)> act;
        double start, end;
    } rows[] = {
        { "pan right stops at the focus start", [](IcicleView& v) { v.zoom(-4, 0.0); v.pan(5000, 100); }, 400, 400 + 400 / std::exp(0.75) },
        { "pan left stops at the focus end", [](IcicleView& v) { v.zoom(-4, 0.0); v.pan(-5000, 100); }, 800 - 400 / std::exp(0.75), 800 },
        { "the scroll bar's middle", [](IcicleView& v) { v.zoom(-4, 0.0); v.scrollTo(0.5); },
          600 - 200 / std::exp(0.75), 600 + 200 / std::exp(0.75) },
        { "a cell right of the range is shown at the right edge", [](IcicleView& v) { v.zoom(-4, 0.0); v.bringIntoView(700, 750); },
          750 - 400 / std::exp(0.75), 750 },
        { "a cell left of the range is shown at the left edge", [](IcicleView& v) { v.zoom(-4, 1.0); v.bringIntoView(420, 430); },
          420, 420 + 400 / std::exp(0.75) },
        { "a cell wider than the range fills it from its left edge", [](IcicleView& v) { v.zoom(-4, 0.0); v.bringIntoView(500, 800); },
          500, 500 + 400 / std::exp(0.75) },
        { "a cell in view moves nothing", [](IcicleView& v) { v.zoom(-4, 0.0); v.bringIntoView(410, 420); },
          400, 400 + 400 / std::exp(0.75) },
    };
    for (const Row& row : rows) {
        IcicleView view(1000.0);
        view.setFocus(400.0, 800.0, 3.0);
        row.act(view);
        EXPECT_NEAR(view.visibleStart, row.start, 1e-9) << row.name;
        EXPECT_NEAR(view.visibleEnd, row.end, 1e-9) << row.name;
        EXPECT_DOUBLE_EQ(view.rowAt(0.0, 800.0), 3.0) << row.name << ": the focus row is on top";
    }
}

TEST_F(ChartSelectionTest, SmoothScrollingAnimatesTheFocusForAtMostAQuarterSecond)
{
    settings.smoothScrolling = true;
    chart->select(named("A/a3"));
    EXPECT_EQ(key(orvex::KEY_ENTER), HANDLED | REDRAW);
    EXPECT_DOUBLE_EQ(chart->view().visibleEnd, 950.0) << "nothing moves before the first frame";
    now += 0.125;
    EXPECT_EQ(chart->draw(renderer), HANDLED | REDRAW);
    EXPECT_GT(chart->view().visibleStart, 0.0);
    EXPECT_LT(chart->view().visibleStart, 400.0);
    EXPECT_GT(chart->view().firstRow, 1.0);
    EXPECT_LT(chart->view().firstRow, 2.0);
    now += 0.125;
    EXPECT_EQ(chart->draw(renderer), HANDLED) << "the last step asks for no further frame";
    EXPECT_DOUBLE_EQ(chart->view().visibleStart, 400.0);
    EXPECT_DOUBLE_EQ(chart->view().visibleEnd, 450.0);
    EXPECT_DOUBLE_EQ(chart->view().firstRow, 2.0);

    // Input in the middle of the animation acts on where it ends.
    key(orvex::KEY_HOME);
    now += 0.05;
    chart->draw(renderer);
    key(orvex::KEY_RIGHT);
    EXPECT_DOUBLE_EQ(chart->view().visibleEnd, 950.0);
    EXPECT_DOUBLE_EQ(chart->view().firstRow, 1.0);
}

TEST_F(ChartSelectionTest, RowsMoveTheLeastThatShowsACellAndNeverAboveTheFocus)
{
    struct Row {
        const char* name;
        double top, bottom, firstRow; // four rows in view from row 3, the focus row
    } rows[] = {
        { "a cell in view moves nothing", 4, 5, 3 },
        { "a cell ending on the bottom edge moves nothing", 6, 7, 3 },
        { "a cell below comes up to the bottom edge", 8, 9, 5 },
        { "a hanging file's whole cell", 8, 8 + 1.272, 5.272 },
        { "a cell taller than the view: its top on top", 4, 9, 4 },
        { "a cell above the focus row stops at it", 1, 2, 3 },
    };
    for (const Row& row : rows) {
        IcicleView view(1000.0);
        view.setFocus(400.0, 800.0, 3.0);
        view.rowScale = 0.25;
        EXPECT_EQ(view.bringRowsIntoView(row.top, row.bottom), row.firstRow != 3.0) << row.name;
        EXPECT_DOUBLE_EQ(view.firstRow, row.firstRow) << row.name;
    }
    // Once moved down, a cell above the top edge is brought back to it.
    IcicleView view(1000.0);
    view.bringRowsIntoView(20, 21);
    EXPECT_DOUBLE_EQ(view.firstRow, 13.0);
    view.bringRowsIntoView(10, 11);
    EXPECT_DOUBLE_EQ(view.firstRow, 10.0);
}

// Home shows the whole tree as the chart first showed it, from a folder or at the whole tree.
TEST_F(ChartSelectionTest, HomeRestoresTheFirstViewAlsoAtTheWholeTree)
{
    auto dragRows = [&] { // a left drag down the middle: taller rows
        ClickSequence clicks;
        chart->mousePress({ LEFT, 0, 0, 475, 400 }, clicks);
        chart->mouseMove({ 475, 600, 0, 200, 1 << LEFT }, true);
        chart->mouseRelease({ LEFT, 2, 0, 475, 600 });
    };
    struct Row {
        const char* name;
        bool smooth;
        const char* focus; // gone into first ("" for none)
    } rows[] = {
        { "zoomed and rows scaled at the whole tree", false, "" },
        { "the same, animated", true, "" },
        { "from a folder, animated", true, "A" },
    };
    for (const Row& row : rows) {
        settings.smoothScrolling = false;
        chart->goHome();
        if (*row.focus)
            chart->goInto(named(row.focus));
        chart->mouseWheel({ -4, 0, 700, 50 });
        dragRows();
        ASSERT_NE(chart->view().rowScale, 0.125) << row.name;
        settings.smoothScrolling = row.smooth;
        EXPECT_EQ(key(orvex::KEY_HOME), HANDLED | REDRAW) << row.name;
        now += 1.0;
        chart->draw(renderer);
        EXPECT_EQ(nameOf(chart->focusedNode()), "/r") << row.name;
        EXPECT_DOUBLE_EQ(chart->view().visibleStart, 0.0) << row.name;
        EXPECT_DOUBLE_EQ(chart->view().visibleEnd, 950.0) << row.name;
        EXPECT_DOUBLE_EQ(chart->view().rowScale, 0.125) << row.name;
        EXPECT_DOUBLE_EQ(chart->view().firstRow, 1.0) << row.name;
        EXPECT_EQ(key(orvex::KEY_HOME), HANDLED) << row.name << ": Home again changes nothing";
    }
}

// In a deep chain the arrow keys walk the selection down and up past the rows in view: the view
// follows it by the least movement and never shows rows above the focused folder.
class ChainChartTest : public ChartSelectionTest {
protected:
    ChainChartTest()
    {
        using namespace testtree;
        Spec chain = file("f", 100);
        for (int depth = DEPTH - 1; depth >= 1; --depth)
            chain = dir("d" + std::to_string(depth), { chain });
        owned = nullptr; // the old chart points into the lookup's rows
        NullUploader uploader;
        mesh.totalSize = IcicleOptimization::build(lookup, build(dir("/r", { chain, file("side", 100) })), 1, uploader).totalSize;
        auto made = std::make_unique<IcicleVisualization>(IcicleResources {}, mesh, lookup, settings, shell,
                                                          [this] { return now; });
        chart = made.get();
        owned = std::move(made);
        chart->layout({ 950, 800 }, { 950, 800 }, 1.0); // eight rows in view
    }
    static constexpr int DEPTH = 40; // d1 (row 1) down to d39, then the file f (row 40)
};

TEST_F(ChainChartTest, TheViewFollowsTheSelectionDownAndUpTheRows)
{
    struct Row {
        const char* name;
        std::function<void()> act;
        const char* selected;
        double firstRow;
    } rows[] = {
        { "a click on the first folder", [&] { click(100, 50); }, "d1", 1 },
        { "down to the last row in view", [&] { for (int i = 0; i < 7; ++i) key(orvex::KEY_DOWN); }, "d8", 1 },
        { "one further: one row down", [&] { key(orvex::KEY_DOWN); }, "d9", 2 },
        { "down to the file: its hanging cell whole", [&] { for (int i = 0; i < 40; ++i) key(orvex::KEY_DOWN); }, "f", 40 + 1.272019624710083 - 8 },
        { "up within the view", [&] { key(orvex::KEY_UP); }, "d39", 40 + 1.272019624710083 - 8 },
        { "up past the top edge", [&] { for (int i = 0; i < 10; ++i) key(orvex::KEY_UP); }, "d29", 29 },
        { "into d29: its row on top", [&] { key(orvex::KEY_ENTER); }, "d29", 29 },
        { "down past the view inside the focus", [&] { for (int i = 0; i < 9; ++i) key(orvex::KEY_DOWN); }, "d38", 31 },
        { "up to the focus, no further", [&] { for (int i = 0; i < 20; ++i) key(orvex::KEY_UP); }, "d29", 29 },
        { "Home", [&] { key(orvex::KEY_HOME); }, "d29", 1 },
    };
    for (bool smooth : { false, true }) {
        settings.smoothScrolling = smooth;
        for (const Row& row : rows) {
            SCOPED_TRACE(smooth ? "animated" : "at once");
            row.act();
            now += 1.0;
            chart->draw(renderer); // ends an animation
            EXPECT_EQ(nameOf(chart->selectedNode()), row.selected) << row.name;
            EXPECT_NEAR(chart->view().firstRow, row.firstRow, 1e-9) << row.name;
            const std::optional<Rect> box = chart->selectedRect();
            ASSERT_TRUE(box) << row.name;
            if (std::string(row.name) != "Home") {
                EXPECT_GE(box->top, -1e-6) << row.name;
                EXPECT_LE(box->bottom, 800.0 + 1e-6) << row.name;
            }
        }
    }
}

// A chart rebuilt from the same tree (after a refresh or a trash elsewhere) keeps a selection the
// keys took below the first rows in view.
TEST_F(ChainChartTest, ARebuiltChartKeepsADeepSelectionInView)
{
    click(100, 50);
    for (int i = 0; i < 19; ++i)
        key(orvex::KEY_DOWN);
    ASSERT_EQ(nameOf(chart->selectedNode()), "d20");
    ASSERT_DOUBLE_EQ(chart->view().firstRow, 13.0);
    const IcicleVisualization::Placement kept = chart->placement(nullptr);

    owned = nullptr; // the old chart points into the lookup's rows
    NullUploader uploader;
    mesh.totalSize = IcicleOptimization::build(lookup, lookup.takeTree(), 1, uploader).totalSize;
    auto after = std::make_unique<IcicleVisualization>(IcicleResources {}, mesh, lookup, settings, shell);
    chart = after.get();
    owned = std::move(after);
    chart->takePlacement(kept);
    chart->layout({ 950, 800 }, { 950, 800 }, 1.0);
    EXPECT_EQ(nameOf(chart->selectedNode()), "d20");
    EXPECT_DOUBLE_EQ(chart->view().firstRow, 13.0);
}

// A chart rebuilt after a folder of its tree took new contents keeps the focus, the selection and
// the anchor's left edge at its pixel, at the same bytes per pixel, as far as the new sizes allow.
TEST_F(ChartSelectionTest, ARebuiltChartKeepsItsFocusSelectionAndAnchor)
{
    struct Row {
        const char* name;
        double wheel;      // notches at x = 475 after going into A (negative zooms in)
        uint64_t added;    // bytes the refresh adds to a3
        bool anchorKept;   // whether a3's left edge can stay at its pixel
    } rows[] = {
        { "zoomed in, a3 grows", -4, 500, true },
        { "the whole focus in view, a3 grows", 0, 500, false }, // all of A shows again
    };
    for (const Row& row : rows) { // each row refreshes the tree the row before left
        chart->goHome();
        chart->goInto(named("A"));
        chart->select(named("A/a2"));
        if (row.wheel != 0)
            chart->mouseWheel({ row.wheel, 0, 475, 50 });
        FilesystemNode* a3 = const_cast<FilesystemNode*>(named("A/a3"));
        const IcicleVisualization::Placement kept = chart->placement(a3);
        const double span = chart->view().visibleEnd - chart->view().visibleStart;

        owned = nullptr; // the old chart points into the lookup's rows
        orvex::UniquePtr<FilesystemNode> tree = lookup.takeTree();
        using namespace testtree;
        TreeEdit::replaceContents(a3, build(dir("/r/A/a3", { file("a3x", 50), file("new", row.added + a3->size - 50) })));
        NullUploader uploader;
        mesh.totalSize = IcicleOptimization::build(lookup, std::move(tree), 1, uploader).totalSize;
        auto after = std::make_unique<IcicleVisualization>(IcicleResources {}, mesh, lookup, settings, shell);
        chart = after.get();
        owned = std::move(after);
        chart->takePlacement(kept);
        chart->layout({ 950, 800 }, { 950, 800 }, 1.0);

        EXPECT_EQ(nameOf(chart->focusedNode()), "A") << row.name;
        EXPECT_EQ(nameOf(chart->selectedNode()), "a2") << row.name;
        const IcicleView& view = chart->view();
        EXPECT_DOUBLE_EQ(view.focusEnd - view.focusStart, double(named("A")->size)) << row.name;
        if (row.anchorKept) {
            EXPECT_NEAR(view.visibleEnd - view.visibleStart, span, 1e-9) << row.name;
            EXPECT_NEAR(chart->placement(a3).anchorX, kept.anchorX, 1e-6) << row.name;
        } else {
            EXPECT_DOUBLE_EQ(view.visibleStart, view.focusStart) << row.name;
            EXPECT_DOUBLE_EQ(view.visibleEnd, view.focusEnd) << row.name;
        }
    }
}

// [SECTION] The context menu

class ChartMenuTest : public ChartSelectionTest {
protected:
    ChartMenuTest()
    {
        const ChartContextMenu::Looks looks { { &clear, &label }, &row, &frame, &panel, &ring };
        auto layer = std::make_unique<ChartContextMenu>(orvex::UniquePtr<Component>(owned.release()), *chart, shell, factory, looks);
        menu = layer.get();
        owned = std::move(layer);
        menu->layout({ 950, 800 }, { 950, 800 }, 1.0);
    }
    Response rightClick(double x, double y)
    {
        ClickSequence clicks;
        const Response answer = menu->mousePress({ RIGHT, 0, 0, x, y }, clicks);
        menu->mouseRelease({ RIGHT, 2, 0, x, y });
        menu->layout({ 950, 800 }, { 950, 800 }, 1.0);
        return answer;
    }
    void press(int code, int modifiers = 0)
    {
        menu->keyPress({ code, code, orvex::ACTION_PRESS, modifiers });
        menu->keyRelease({ code, code, orvex::ACTION_RELEASE, modifiers });
        menu->layout({ 950, 800 }, { 950, 800 }, 1.0);
    }
    std::string enabledItems() const
    {
        static const char* names[] = { "open", "reveal", "copy", "into", "up", "refresh", "trash" };
        std::string text;
        for (int item = 0; item < ChartContextMenu::ITEM_COUNT; ++item)
            if (menu->itemEnabled(ChartContextMenu::Item(item)))
                text += std::string(text.empty() ? "" : " ") + names[item];
        return text;
    }

    FakeFactory factory;
    Renderer::StyleObject clear, label, row, frame, panel, ring;
    ChartContextMenu* menu = nullptr;
};

TEST_F(ChartMenuTest, ARightClickSelectsAndOffersWhatCanAct)
{
    struct Row {
        const char* name;
        const char* focus; // the folder gone into first
        double x, y;
        bool pathsHere, open;
        const char* selected;
        const char* items;
    } rows[] = {
        { "a file at the whole tree", "", 600, 50, true, true, "B", "open reveal copy" },
        { "a folder", "", 100, 50, true, true, "A", "open reveal copy into" },
        { "a folder inside a focused one", "A", 900, 150, true, true, "a3", "open reveal copy into up" },
        { "the focused folder itself", "A", 100, 50, true, true, "A", "open reveal copy up" },
        { "a stored scan from another machine", "", 600, 50, false, true, "B", "copy" },
        { "no cell: no menu, no selection", "", 700, 250, true, false, "none", "" },
    };
    for (const Row& row : rows) {
        chart->goHome();
        if (*row.focus)
            chart->goInto(named(row.focus));
        shell.pathsHere = row.pathsHere;
        chart->select(named("C"));
        rightClick(row.x, row.y);
        EXPECT_EQ(menu->isOpen(), row.open) << row.name;
        EXPECT_EQ(nameOf(chart->selectedNode()), row.selected) << row.name;
        if (row.open) {
            EXPECT_EQ(enabledItems(), row.items) << row.name;
        }
        menu->close();
    }
}

// Refresh and Move to Trash are the program's: offered as it says, run through it.
TEST_F(ChartMenuTest, RefreshAndTrashAskTheProgram)
{
    struct Actions : TreeActions {
        bool canRefresh(const FilesystemNode*) const override { return true; }
        void refresh(const FilesystemNode* node) override { calls.push_back("refresh " + std::string(node->name.view())); }
        bool canTrash(const FilesystemNode* node) const override { return node->parent && node->parent->parent; }
        void trash(const FilesystemNode* node) override { calls.push_back("trash " + std::string(node->name.view())); }
        std::vector<std::string> calls;
    } actions;
    menu->setTreeActions(&actions);
    rightClick(600, 50); // B, a child of the root: not offered for the trash here
    EXPECT_EQ(enabledItems(), "open reveal copy refresh");
    menu->choose(ChartContextMenu::REFRESH);
    chart->goInto(named("A"));
    rightClick(900, 150);
    EXPECT_EQ(enabledItems(), "open reveal copy into up refresh trash");
    menu->choose(ChartContextMenu::TRASH);
    EXPECT_EQ(actions.calls, (std::vector<std::string> { "refresh B", "trash a3" }));
    EXPECT_FALSE(menu->isOpen());
}

TEST_F(ChartMenuTest, KeysMoveOverUsableItemsAndRunOne)
{
    chart->goInto(named("A"));
    chart->select(named("A/a3"));
    menu->focus(chart);
    ASSERT_TRUE(chart->hasKeyboardFocus());
    press(orvex::KEY_F10, orvex::MOD_LEFT_SHIFT);
    ASSERT_TRUE(menu->isOpen());
    EXPECT_FALSE(chart->hasKeyboardFocus()) << "the menu holds the keyboard while open";
    // Open, Show, Copy path: Enter runs the third item.
    press(orvex::KEY_DOWN);
    press(orvex::KEY_DOWN);
    press(orvex::KEY_ENTER);
    EXPECT_EQ(shell.calls, std::vector<std::string> { "copy /r/A/a3" });
    EXPECT_FALSE(menu->isOpen());
    EXPECT_TRUE(chart->hasKeyboardFocus()) << "the chart gets the keyboard back";

    // From the first item, Up wraps round to the last: Go up.
    press(orvex::KEY_MENU);
    press(orvex::KEY_UP);
    press(orvex::KEY_SPACE);
    EXPECT_EQ(nameOf(chart->focusedNode()), "/r");
    EXPECT_FALSE(menu->isOpen());

    // On a file at the whole tree, Down skips Go into and Go up, back round to Open.
    chart->select(named("B"));
    press(orvex::KEY_MENU);
    for (int i = 0; i < 3; ++i)
        press(orvex::KEY_DOWN);
    press(orvex::KEY_ENTER);
    EXPECT_EQ(shell.calls.back(), "open /r/B");
}

// The labels start at one inset, whatever their length, and only the row the keyboard is on wears
// the ring (inside its band: the rows touch), 2 units wide at the menu's scale of 3/4, rounded.
// That row's label takes the row's hover look although the pointer is elsewhere, so its opaque
// background matches the band.
TEST_F(ChartMenuTest, LabelsShareOneLeftEdgeAndTheCurrentRowWearsTheRing)
{
    struct Row {
        const char* name;
        int downs; // Down presses after opening (on the first usable item)
    } rows[] = { { "the first item", 0 }, { "two items down", 2 } };
    factory.measured = true;
    for (const Row& row : rows) {
        chart->select(named("A"));
        menu->focus(chart);
        press(orvex::KEY_MENU);
        for (int i = 0; i < row.downs; ++i)
            press(orvex::KEY_DOWN);
        ASSERT_TRUE(menu->isOpen()) << row.name;
        renderer.calls.clear();
        menu->draw(renderer);

        std::vector<double> textLefts;
        std::vector<Rect> bands, rings;
        std::vector<int> hoveredLabels;
        for (const guitest::RecordingRenderer::Call& call : renderer.calls) {
            const Rect at = call.rect.offset(call.offset);
            if (call.op == "text" && call.style == &label) {
                if (call.state & Renderer::HOVER)
                    hoveredLabels.push_back(int(textLefts.size()));
                textLefts.push_back(at.left);
            }
            else if (call.style == &this->row)
                bands.push_back(at);
            else if (call.style == &ring)
                rings.push_back(at);
        }
        ASSERT_EQ(textLefts.size(), size_t(ChartContextMenu::ITEM_COUNT)) << row.name;
        for (double left : textLefts)
            EXPECT_EQ(left, textLefts[0]) << row.name << ": a label out of line";
        ASSERT_EQ(bands.size(), size_t(ChartContextMenu::ITEM_COUNT)) << row.name;
        ASSERT_EQ(rings.size(), 1u) << row.name;
        const Rect& band = bands[size_t(row.downs)];
        EXPECT_EQ(rings[0], (Rect { band.left - 2, band.top - 2, band.right + 2, band.bottom + 2 })) << row.name;
        EXPECT_EQ(hoveredLabels, std::vector<int> { row.downs }) << row.name;
        press(orvex::KEY_ESCAPE);
    }
}

TEST_F(ChartMenuTest, EscapeAClickOutsideFocusLossAndAResizeCloseIt)
{
    struct Row {
        const char* name;
        std::function<void()> act;
    } rows[] = {
        { "Escape", [&] { press(orvex::KEY_ESCAPE); } },
        { "a left click outside the menu", [&] {
             ClickSequence c;
             menu->mousePress({ LEFT, 0, 0, 900, 700 }, c);
             menu->mouseRelease({ LEFT, 2, 0, 900, 700 });
         } },
        { "a press elsewhere in the window", [&] { ClickSequence c; menu->mousePressOutside({ LEFT, 0, 0, -5, -5 }, c); } },
        { "the focus leaving the chart", [&] { menu->loseFocus(); } },
        { "the window losing the focus", [&] { menu->resetInput(); } },
        { "a resize", [&] { menu->layout({ 900, 800 }, { 900, 800 }, 1.0); } },
        { "the wheel", [&] { menu->mouseWheel({ 1, 0, 700, 700 }); } },
    };
    for (const Row& row : rows) {
        menu->layout({ 950, 800 }, { 950, 800 }, 1.0);
        rightClick(600, 50);
        ASSERT_TRUE(menu->isOpen()) << row.name;
        row.act();
        EXPECT_FALSE(menu->isOpen()) << row.name;
        EXPECT_TRUE(shell.calls.empty()) << row.name << " ran an item";
    }
}

} // namespace
