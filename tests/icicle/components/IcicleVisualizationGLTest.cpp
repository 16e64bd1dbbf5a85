// The chart's components against a real context, drawn the way the application's window draws
// (BasicGLRenderer over the whole window, blending on, back faces culled) with each component at
// an offset: the chart's cells land where the view puts them and nothing leaves the component's
// rectangle, even zoomed in; the root label and the title stay inside theirs; and a double click
// reveals a file and opens a directory through the node lookup.
#include "tests/engine/gl/GlTestContext.h"

#include "engine/gl/FrameBuffer.h"
#include "gui/render/BasicGLRenderer.h"
#include "icicle/IcicleMeshWrangler.h"
#include "icicle/IcicleResources.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/RootDirectoryLabel.h"
#include "icicle/components/ShellActions.h"
#include "tests/icicle/TreeBuilder.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace orvex;
using gui::Rect;
using gui::Vector2;

namespace {

constexpr int WINDOW_SIZE = 256; // the test window's size

// Row 1: a [0, 800) and the file b [800, 1000); row 2: a1 [0, 600) and a2 [600, 800).
const auto tree = testtree::dir("/r", {
    testtree::dir("a", { testtree::file("a1", 600), testtree::file("a2", 200) }),
    testtree::file("b", 200),
});

class RecordingShell : public ShellActions {
public:
    void open(std::string_view path) override { calls.push_back("open " + std::string(path)); }
    void reveal(std::string_view path) override { calls.push_back("reveal " + std::string(path)); }
    std::vector<std::string> calls;
};

// A path below the root "/r" as nodePath writes it: names joined with '/' on every system, since
// the root is a POSIX path.
std::string below(const char* names) { return std::string("/r/") + names; }

class IcicleVisualizationGLTest : public test::GlTest {
protected:
    void SetUp() override
    {
        test::GlTest::SetUp();
        ASSERT_TRUE(createIcicleResources(*context(), resources)) << context()->lastError();
        renderer = gui::BasicGLRenderer::create(context());
        ASSERT_NE(renderer, nullptr) << context()->lastError();
        mesh = IcicleMeshWrangler::createOptimizedMesh(lookup, context(), testtree::build(tree), 1);
        ASSERT_NE(mesh.mesh, nullptr);
        settings.smoothScrolling = false;
        chart = std::make_unique<IcicleVisualization>(resources, mesh, lookup, settings, shell);
    }

    // One window frame with `component` laid out as `area` (window pixels, y down).
    void drawFrame(gui::Component& component, const Rect& area)
    {
        FrameBuffer* screen = context()->screenFrameBuffer();
        screen->makeCurrent();
        screen->setBlending(true);
        screen->setCullMode(1);
        context()->clear({ 0, 0, 0, 1 });
        renderer->setViewport({ 0, 0, WINDOW_SIZE, WINDOW_SIZE });
        component.layout({ area.width(), area.height() }, { area.width(), area.height() }, 1.0);
        gui::OffsetScope offset(*renderer, area.topLeft());
        component.draw(*renderer);
    }

    bool lit(int x, int y)
    {
        const Color<unsigned char> p = pixels[size_t((WINDOW_SIZE - 1 - y) * WINDOW_SIZE + x)];
        return p.red > 24 || p.green > 24 || p.blue > 24;
    }
    // The box around every lit pixel of the window (empty when none is lit).
    Rect litBounds()
    {
        pixels = gl.readPixels(0, 0, WINDOW_SIZE, WINDOW_SIZE);
        Rect box { WINDOW_SIZE, WINDOW_SIZE, 0, 0 };
        for (int y = 0; y < WINDOW_SIZE; ++y)
            for (int x = 0; x < WINDOW_SIZE; ++x)
                if (lit(x, y))
                    box = { std::min(box.left, double(x)), std::min(box.top, double(y)),
                            std::max(box.right, x + 1.0), std::max(box.bottom, y + 1.0) };
        return box;
    }
    void expectInside(const Rect& box, const Rect& area, const char* what)
    {
        EXPECT_FALSE(box.empty()) << what << ": nothing drawn";
        EXPECT_TRUE(box.left >= area.left && box.top >= area.top && box.right <= area.right && box.bottom <= area.bottom)
            << what << " drew outside its rectangle: lit box (" << box.left << ", " << box.top << ") - (" << box.right
            << ", " << box.bottom << ")";
    }

    struct Probe {
        const char* name;
        int x, y;
        bool lit;
    };
    void expectProbes(const std::vector<Probe>& probes, const char* context)
    {
        for (const Probe& probe : probes)
            EXPECT_EQ(lit(probe.x, probe.y), probe.lit) << context << ": " << probe.name;
    }

    // Two presses and releases of the left button in the chart's frame, counted as the window
    // counts them, starting a fresh click sequence.
    void doubleClick(Vector2 first, Vector2 second)
    {
        gui::ClickSequence clicks;
        for (Vector2 at : { first, second }) {
            clicks.beforePress(1);
            chart->mousePress({ 1, 0, 0, at.x, at.y }, clicks);
            clicks.afterPress(1);
            chart->mouseRelease({ 1, 2, 0, at.x, at.y });
        }
    }

    IcicleResources resources;
    UniquePtr<gui::BasicGLRenderer> renderer;
    IcicleNodeLookup lookup;
    IcicleMesh<MasterPtr, int> mesh;
    ChartSettings settings;
    RecordingShell shell;
    std::unique_ptr<IcicleVisualization> chart;
    std::vector<Color<unsigned char>> pixels;
};

// The chart at (40, 60), 200 x 160: rows of 20 pixels from row 1, one byte per 0.2 pixel.
const Rect CHART { 40, 60, 240, 220 };

} // namespace

TEST_F(IcicleVisualizationGLTest, CellsLandWhereTheViewPutsThemInsideTheComponent)
{
    drawFrame(*chart, CHART);
    expectInside(litBounds(), CHART, "the chart");
    expectProbes({
                     { "a, row 1", 50, 64, true },
                     { "b, row 1", 230, 64, true },
                     { "a1, row 2", 50, 96, true },
                     { "a2, row 2", 170, 96, true },
                     { "the root row is not drawn", 100, 50, false },
                     { "under file b, below its hanging part", 220, 95, false },
                     { "row 3 is empty", 100, 110, false },
                 },
                 "whole tree");

    // Zoomed in at the right edge, a runs off the component's left edge: it is cut there.
    chart->mouseWheel({ -3, 0, 200, 10 });
    ASSERT_NEAR(chart->view().visibleStart, 1000.0 - 1000.0 * std::exp(-3 * 0.1875), 1e-9);
    drawFrame(*chart, CHART);
    expectInside(litBounds(), CHART, "the zoomed chart");
    expectProbes({
                     { "a at the component's left edge", 41, 64, true },
                     { "a's end, now at x 170", 165, 64, true },
                     { "gap between a and b", 170, 64, false },
                 },
                 "zoomed in");
}

TEST_F(IcicleVisualizationGLTest, RootLabelAndTitleStayInsideTheirRectangles)
{
    const Rect band { 40, 20, 240, 60 };
    RootDirectoryLabel root(resources, RootLabelMesh::rootOf(mesh));
    drawFrame(root, band);
    expectInside(litBounds(), band, "the root label");

    UniquePtr<Mesh<GeometryVertex>> titleMesh = createTitleMesh(*context(), "Velbrin");
    ASSERT_NE(titleMesh, nullptr);
    const Rect titleArea { 20, 190, 236, 250 };
    RootDirectoryLabel title(resources, RootLabelMesh::title(titleMesh.get()));
    drawFrame(title, titleArea);
    const Rect box = litBounds();
    expectInside(box, titleArea, "the title");
    // The title is fitted to its rectangle: it fills most of the width or of the height.
    EXPECT_TRUE(box.width() > 0.5 * titleArea.width() || box.height() > 0.5 * titleArea.height())
        << "title box " << box.width() << " x " << box.height();
}

TEST_F(IcicleVisualizationGLTest, DoubleClickRevealsAFileAndOpensADirectory)
{
    chart->layout({ 200, 160 }, { 200, 160 }, 1.0);
    doubleClick({ 180.5, 10.5 }, { 181.5, 11.5 }); // b
    doubleClick({ 50.5, 30.5 }, { 50.5, 30.5 });   // a1, row 2
    doubleClick({ 20.5, 10.5 }, { 21.5, 10.5 });   // a
    EXPECT_EQ(shell.calls, (std::vector<std::string> { "reveal " + below("b"), "reveal " + below("a/a1"), "open " + below("a") }));

    // Two presses 3 pixels apart start a drag instead; so do two presses on different cells, and
    // a double click on a gap.
    shell.calls.clear();
    doubleClick({ 20.5, 10.5 }, { 23.5, 10.5 });
    doubleClick({ 150.5, 10.5 }, { 170.5, 10.5 });
    doubleClick({ 190.5, 40.5 }, { 190.5, 40.5 });
    EXPECT_TRUE(shell.calls.empty());
}
