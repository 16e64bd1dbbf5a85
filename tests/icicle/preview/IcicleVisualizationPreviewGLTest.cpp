// IcicleVisualizationPreview drawn through the GUI's GL renderer at an offset inside a 256 x 256
// window, probed pixel by pixel: the open directories mid-scan, the finished cells, a file hanging
// into the row below, the clip at the component's edges, and the REDRAW answer while it grows.
#include "tests/engine/gl/GlTestContext.h"
#include "tests/icicle/preview/FakeWalk.h"

#include "engine/gl/FrameBuffer.h"
#include "gui/render/BasicGLRenderer.h"
#include "icicle/IcicleResources.h"
#include "icicle/preview/IcicleVisualizationPreview.h"

#include <cmath>
#include <string>

using namespace orvex;
using namespace orvex::gui;
using previewtest::FakeWalk;

namespace {

constexpr int WINDOW_SIZE = 256;
// The component's rectangle in the window: rows of 20 pixels, row 1 at y 48.
constexpr Vector2 ORIGIN { 32, 48 };
constexpr Vector2 EXTENT { 192, 160 };

struct Probe {
    const char* name;
    int x, y; // window pixels, y downwards
    bool grey;
};

class IcicleVisualizationPreviewGLTest : public test::GlTest {
protected:
    void SetUp() override
    {
        test::GlTest::SetUp();
        ASSERT_TRUE(createIcicleResources(*context(), resources)) << context()->lastError();
        renderer = BasicGLRenderer::create(context());
        ASSERT_NE(renderer, nullptr) << context()->lastError();
        builder = createPreviewBuilder(*context());
        ASSERT_NE(builder, nullptr);
        preview.reset(new IcicleVisualizationPreview(resources, builder.get()));
        preview->layout(EXTENT, EXTENT, 1.0);
        context()->screenFrameBuffer()->makeCurrent();
        // As the application's window draws: blending on, back faces culled.
        context()->screenFrameBuffer()->setBlending(true);
        context()->screenFrameBuffer()->setCullMode(1);
        renderer->setViewport({ 0, 0, WINDOW_SIZE, WINDOW_SIZE });
    }

    Response drawFrame()
    {
        builder->refresh();
        context()->clear({ 0, 0, 0, 1 });
        OffsetScope offset(*renderer, ORIGIN);
        return preview->draw(*renderer);
    }

    // The grey palette's colour, brightened 1.25 times inside a cell, over black.
    void expectProbes(const std::vector<Probe>& probes)
    {
        for (const Probe& probe : probes) {
            const Color<unsigned char> p = gl.pixel(probe.x, WINDOW_SIZE - 1 - probe.y);
            const int r = probe.grey ? 50 : 0, g = probe.grey ? 45 : 0;
            EXPECT_TRUE(std::abs(p.red - r) <= 2 && std::abs(p.green - g) <= 2 && std::abs(p.blue - r) <= 2)
                << probe.name << ": pixel (" << probe.x << ", " << probe.y << ") is (" << int(p.red) << ", "
                << int(p.green) << ", " << int(p.blue) << "), expected " << (probe.grey ? "grey" : "black");
        }
    }

    IcicleResources resources;
    UniquePtr<BasicGLRenderer> renderer;
    UniquePtr<PreviewBuilder> builder;
    UniquePtr<IcicleVisualizationPreview> preview;
};

// Seven nested directories holding one 600-byte file, then a 400-byte file at the top: mid-scan
// the open chain spans the whole width; finished, the directories take the left 60 %.
TEST_F(IcicleVisualizationPreviewGLTest, DrawsTheGrowingChartInsideItsRectangle)
{
    FakeWalk walk(*builder, "/preview");
    for (int depth = 1; depth <= 7; ++depth)
        walk.enter("d" + std::to_string(depth));
    walk.file("deep", 600);

    EXPECT_EQ(drawFrame(), HANDLED | REDRAW);
    expectProbes({
        { "open directory at depth 1", 200, 58, true },
        { "open directory at depth 7", 200, 178, true },
        { "the file in row 8", 200, 198, true },
        { "the root's row is the root label's", 120, 40, false },
        { "left of the component", 20, 58, false },
        { "right of the component", 236, 58, false },
    });

    for (int depth = 1; depth <= 7; ++depth)
        walk.leave();
    walk.file("top", 400); // x 147.2 .. 224, rows 1 .. 2.27
    walk.leave();

    EXPECT_EQ(drawFrame(), HANDLED) << "the walk ended and was copied: no more frames needed";
    expectProbes({
        { "finished directory at depth 1", 120, 58, true },
        { "finished directory at depth 7", 120, 178, true },
        { "the file in row 8", 120, 198, true },
        { "the file's overhang is clipped at the bottom", 120, 211, false },
        { "the top-level file", 210, 58, true },
        { "the file hangs into row 2", 210, 70, true },
        { "below the file's overhang", 210, 80, false },
    });
}

} // namespace
