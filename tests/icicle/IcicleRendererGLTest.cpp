// The chart programs drawn into a 320 x 320 window with the main window's render state (blending,
// back faces culled) and probed pixel by pixel: cell insets, narrow cells' soft edges, the plain
// bands of cells running out of view, culling, palette sampling, label placement, orientation and
// fading, split-name continuations; plus the shared resources, uniform checks and the camera's
// precision. Label tests use a block font (solid glyph boxes), so glyph pixels sit exactly where
// the glyph table puts them.
#include "tests/engine/gl/GlTestContext.h"

#include "engine/gl/FrameBuffer.h"
#include "engine/gl/Shader.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureBuffer.h"
#include "icicle/IcicleMeshWrangler.h"
#include "icicle/IcicleOptimization.h"
#include "icicle/IcicleRenderer.h"
#include "icicle/IcicleResources.h"
#include "icicle/IcicleShaderSources.h"
#include "icicle/LabelShader.h"
#include "icicle/LabelText.h"
#include "icicle/RectangleShader.h"
#include "tests/icicle/TreeBuilder.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int WINDOW_SIZE = 320;
constexpr Vector<double, 2> COMPONENT { { WINDOW_SIZE, WINDOW_SIZE } };
constexpr Vector<float, 2> VIEWPORT { { WINDOW_SIZE, WINDOW_SIZE } };

struct Rgb {
    double r, g, b; // 0..255
};
// The cell palette's first, second and last entries.
constexpr Rgb ORANGE { 112, 45, 0 }, AMBER { 112, 84, 0 };
constexpr Rgb BLACK { 0, 0, 0 }, WHITE { 255, 255, 255 };

Rgb mix(Rgb a, Rgb b, double t) { return { a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t }; }
Rgb scaled(Rgb c, double f) { return { c.r * f, c.g * f, c.b * f }; }
Rgb bright(Rgb c) { return scaled(c, 1.25); }
// Blend mode 9 over a destination: c + d × (1 − c).
Rgb over(Rgb c, Rgb d) { return { c.r + d.r * (1 - c.r / 255), c.g + d.g * (1 - c.g / 255), c.b + d.b * (1 - c.b / 255) }; }

GeometryVertex cell(float x0, float x1, float row, float hue, float sizeCode = 1.0f, const char* name = "",
                    float inverseLabelWidth = 0.4f)
{
    GeometryVertex v { x0, row, x1, hue, inverseLabelWidth, sizeCode, {} };
    LabelText::packName(name, v.name);
    return v;
}

// A split name's further vertex: no size, its pen offset in name[7].
GeometryVertex continuation(float x0, float x1, float row, const char* name, float pen, float inverseLabelWidth)
{
    GeometryVertex v = cell(x0, x1, row, 0.0f, 0.0f, name, inverseLabelWidth);
    v.name[7] = pen;
    return v;
}

struct BlockGlyph {
    int code;
    float left, bottom, right, top, advance;
};

struct Probe {
    const char* name;
    int x, y; // y from the top
    Rgb expected;
};

class IcicleRendererGLTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(gl.context(), nullptr) << gl.error();
        ASSERT_TRUE(createIcicleResources(*context(), resources)) << context()->lastError();
        context()->screenFrameBuffer()->setBlending(true);
        context()->screenFrameBuffer()->setCullMode(1);
        const std::vector<unsigned char> solid(4 * 4 * 3, 255);
        solidAtlas.reset(context()->createTexture2D(ImageView { PixelFormat { COMPONENT_UINT8, 3 }, solid.data(), 4, 4 },
                                                    0, TextureSettings {}));
        noGlyphs.reset(glyphTable({}));
        ASSERT_TRUE(solidAtlas && noGlyphs);
    }

    GlContext* context() const { return gl.context(); }

    // Solid boxes (the whole atlas); every other code is empty.
    TextureBuffer* glyphTable(const std::vector<BlockGlyph>& glyphs)
    {
        std::vector<Vector<float, 3>> texels(128 * 3);
        for (const BlockGlyph& g : glyphs) {
            texels[3 * g.code] = { { g.left, g.bottom, g.right } };
            texels[3 * g.code + 1] = { { g.top, 0.0f, 0.0f } };
            texels[3 * g.code + 2] = { { 1.0f, 1.0f, g.advance } };
        }
        return context()->createTextureBuffer(texels, 0);
    }
    // The real programs and palettes with a test font.
    IcicleResources withFont(TextureBuffer* table)
    {
        IcicleResources substituted = resources;
        substituted.glyphTable = table;
        substituted.atlas = solidAtlas.get();
        return substituted;
    }

    // One byte per pixel from x = 0; rows of `rowHeight` pixels, row 0 at the top.
    void draw(const IcicleResources& use, const std::vector<GeometryVertex>& vertices, double rowHeight)
    {
        IcicleMesh<MasterPtr, int> mesh;
        mesh.mesh = createDynamicMesh<GeometryVertex>(*context(), 1, int(vertices.size()), 0);
        ASSERT_NE(mesh.mesh, nullptr);
        mesh.mesh->replace(vertices);
        IcicleRenderer renderer(use);
        renderer.setComponentToClip(IcicleRenderer::forViewport(WINDOW_SIZE, WINDOW_SIZE));
        renderer.drawMesh(mesh, COMPONENT, { { 0.0, WINDOW_SIZE } }, rowHeight / WINDOW_SIZE, 0.0, VIEWPORT, 1.0f);
    }

    Color<unsigned char> at(int x, int y) { return gl.pixel(x, WINDOW_SIZE - 1 - y); }
    ::testing::AssertionResult isNear(int x, int y, Rgb expected, double tolerance = 2.0)
    {
        const Color<unsigned char> p = at(x, y);
        if (std::abs(p.red - expected.r) <= tolerance && std::abs(p.green - expected.g) <= tolerance
            && std::abs(p.blue - expected.b) <= tolerance)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << int(p.red) << ", "
                                             << int(p.green) << ", " << int(p.blue) << "), expected about ("
                                             << expected.r << ", " << expected.g << ", " << expected.b << ")";
    }
    void expectProbes(const std::vector<Probe>& probes, const char* context)
    {
        for (const Probe& probe : probes)
            EXPECT_TRUE(isNear(probe.x, probe.y, probe.expected)) << context << probe.name;
    }

    test::GlTestContext gl { WINDOW_SIZE, WINDOW_SIZE };
    IcicleResources resources;
    UniquePtr<Texture2D> solidAtlas;
    UniquePtr<TextureBuffer> noGlyphs;
};

} // namespace

TEST_F(IcicleRendererGLTest, CellsKeepTheGapOverhangsShowPlainBandsAndUnseenCellsDrawNothing)
{
    const Rgb grey { 64, 64, 64 };
    context()->clear(Color<float> { 0.25f, 0.25f, 0.25f, 1.0f });
    const float orange = 0.0f; // the first palette entry
    draw(withFont(noGlyphs.get()),
         {
             cell(20, 40, 1, orange), cell(40, 60, 1, orange),   // 20 px wide, side by side
             cell(100.25f, 110.25f, 1, orange),                  // 10 px, between pixels
             cell(140.25f, 160.25f, 1, orange),                  // 20 px, between pixels
             cell(-40, 40, 3, orange), cell(280, 360, 3, orange), // half out of view left, right
             cell(330, 400, 1, orange), cell(-100, -10, 1, orange), cell(20, 300, -3, orange),
             cell(20, 300, 12, orange),                          // right, left, above, below the view
             cell(200, 201.5f, 1, orange),                       // thinner than the two insets
             continuation(20, 300, 5, "AB", 2.0f, 0.4f),         // a split name's further part
         },
         32.0);

    // 1 px of each cell's side is gap (2 px between neighbours); cells of up to 16 px instead ramp
    // their shade over that pixel at sub-pixel precision.
    const Rgb plain = over(ORANGE, grey), full = over(bright(ORANGE), grey);
    expectProbes({ { "gap left of a wide cell", 20, 48, grey },
                   { "wide cell's first pixel", 21, 48, full },
                   { "wide cell's last pixel", 38, 48, full },
                   { "gap between neighbours", 39, 48, grey },
                   { "gap between neighbours", 40, 48, grey },
                   { "gap above the row", 30, 32, grey },
                   { "row's first line", 30, 33, full },
                   { "row's last line", 30, 62, full },
                   { "gap below the row", 30, 63, grey },
                   { "narrow cell: dark edge", 100, 48, grey },
                   { "narrow cell: ramp at shade 0.25", 101, 48, over(scaled(bright(ORANGE), std::sqrt(0.75)), grey) },
                   { "narrow cell: middle", 105, 48, full },
                   { "narrow cell: ramp at shade 0.75", 109, 48, over(scaled(bright(ORANGE), 0.5), grey) },
                   { "wide cell between pixels: hard left edge", 140, 48, grey },
                   { "wide cell between pixels: first pixel", 141, 48, full },
                   { "wide cell between pixels: hard right edge", 159, 48, grey },
                   { "left overhang: plain band", 18, 112, plain },
                   { "left overhang: bright from half the visible width", 21, 112, full },
                   { "right overhang: bright up to half the visible width", 299, 112, full },
                   { "right overhang: plain band", 302, 112, plain },
                   { "right overhang: band reaches the edge", 319, 112, plain } },
                 "");

    struct Box {
        int x0, y0, x1, y1; // inclusive
    };
    const Box drawn[] = { { 21, 33, 38, 62 }, { 41, 33, 58, 62 }, { 100, 33, 110, 62 }, { 141, 33, 158, 62 },
                          { 0, 97, 38, 126 }, { 281, 97, 319, 126 } };
    const std::vector<Color<unsigned char>> pixels = gl.readPixels(0, 0, WINDOW_SIZE, WINDOW_SIZE);
    int stray = 0;
    for (int y = 0; y < WINDOW_SIZE; ++y)
        for (int x = 0; x < WINDOW_SIZE; ++x) {
            const bool inside = std::any_of(std::begin(drawn), std::end(drawn),
                                            [&](const Box& b) { return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1; });
            const Color<unsigned char>& p = pixels[size_t(WINDOW_SIZE - 1 - y) * WINDOW_SIZE + size_t(x)];
            if (!inside && (p.red != 64 || p.green != 64 || p.blue != 64) && stray++ < 5)
                ADD_FAILURE() << "stray fragment at (" << x << ", " << y << ")";
        }
    EXPECT_EQ(stray, 0) << "cells out of view, too thin or continuing a name draw nothing";
}

TEST_F(IcicleRendererGLTest, HueSamplesARepeatingLinearPaletteAndThePreviewIsGrey)
{
    context()->clear(Color<float> { 0, 0, 0, 1 });
    const float hues[] = { 0.0f, 1.0f, 0.0625f, 0.125f, 2.0625f };
    std::vector<GeometryVertex> cells;
    for (int i = 0; i < 5; ++i)
        cells.push_back(cell(20.0f + 60.0f * i, 60.0f + 60.0f * i, 1, hues[i]));
    draw(withFont(noGlyphs.get()), cells, 32.0);
    // Entry k sits at hue k/8 and neighbours blend linearly in between.
    EXPECT_EQ(at(40, 48), at(100, 48)) << "hue 1.0 wraps to hue 0.0";
    EXPECT_TRUE(isNear(40, 48, bright(ORANGE))) << "hue 0.0: the first entry";
    EXPECT_TRUE(isNear(160, 48, bright(mix(ORANGE, AMBER, 0.5)))) << "hue 0.0625: halfway between the first two entries";
    EXPECT_TRUE(isNear(220, 48, bright(AMBER))) << "hue 0.125: the second entry";
    EXPECT_EQ(at(280, 48), at(160, 48)) << "hue 2.0625 wraps twice";

    context()->clear(Color<float> { 0, 0, 0, 1 });
    UniquePtr<DynamicMesh<GeometryVertex>> preview = createDynamicMesh<GeometryVertex>(*context(), 1, 2, 0);
    ASSERT_NE(preview, nullptr);
    preview->replace(std::vector<GeometryVertex> { cell(0, 10, 1, 0.3f), cell(20, 300, 1, 0.7f) });
    IcicleRenderer renderer(withFont(noGlyphs.get()));
    renderer.setComponentToClip(IcicleRenderer::forViewport(WINDOW_SIZE, WINDOW_SIZE));
    renderer.drawPreviewMesh(*preview, 1, COMPONENT, { { 0.0, WINDOW_SIZE } }, 0.1, 0.0, VIEWPORT, 1.0f);
    EXPECT_TRUE(isNear(100, 48, bright(Rgb { 40, 36, 40 }))) << "one grey for every hue";
    EXPECT_TRUE(isNear(5, 48, BLACK)) << "vertices before `first` are not drawn";
}

TEST_F(IcicleRendererGLTest, LabelIsUprightInAWideCellAndReadsDownwardsInATallOne)
{
    // Above the centre line: name glyphs A (half a unit tall) and B (a quarter); below it the size
    // line's digit 1 and final B. Each is one unit wide, so both lines are 2 units: 1 / 2.5 = 0.4.
    UniquePtr<TextureBuffer> blocks(glyphTable({ { 'A', 0, 0, 1, 0.5f, 1 }, { 'B', 0, 0, 1, 0.25f, 1 },
                                                 { 1, 0, -0.5f, 1, -0.25f, 1 }, { 29, 0, -0.5f, 1, -0.25f, 1 } }));
    ASSERT_NE(blocks, nullptr);
    const Rgb cellColor = bright(ORANGE);

    // 280 x 40 px, inset to 278 x 38: 0.625 × 38 = 23.75 px per text unit, centre line at y 60.
    context()->clear(Color<float> { 0, 0, 0, 1 });
    draw(withFont(blocks.get()), { cell(20, 300, 1, 0.0f, 1.0f, "AB", 0.4f) }, 40.0);
    expectProbes({ { "A starts at the cell's left edge", 23, 50, WHITE },
                   { "B is the short second glyph", 55, 50, cellColor },
                   { "B sits on the centre line", 55, 57, WHITE },
                   { "the name ends after two units", 80, 57, cellColor },
                   { "size line below the centre", 30, 68, WHITE },
                   { "size line's second glyph", 60, 68, WHITE },
                   { "between the lines", 30, 62, cellColor } },
                 "upright: ");

    // 40 x 300 px, inset to 38 x 298: sideways at 23.75 px per unit, running down from y 1 with the
    // glyph tops towards +x (a quarter turn clockwise); centre line at x 160.
    context()->clear(Color<float> { 0, 0, 0, 1 });
    draw(withFont(blocks.get()), { cell(140, 180, 0, 0.0f, 1.0f, "AB", 0.4f) }, 300.0);
    expectProbes({ { "A at the top, right of the centre line", 170, 12, WHITE },
                   { "B below A, and short", 170, 36, cellColor },
                   { "B itself", 163, 36, WHITE },
                   { "size line left of the centre line", 151, 12, WHITE },
                   { "size line's second glyph", 151, 40, WHITE },
                   { "the text ends after two units", 163, 60, cellColor },
                   { "nothing at the bottom", 170, 290, cellColor },
                   { "nothing at the bottom, left side", 151, 290, cellColor } },
                 "sideways: ");
}

TEST_F(IcicleRendererGLTest, ContinuationLabelsStartAtTheirPenAndFadeWithTheirScale)
{
    // C: a 4 x 2 unit box on the centre line. The size line's B would show below the pen's start
    // if a continuation drew a size line.
    UniquePtr<TextureBuffer> blocks(glyphTable({ { 'C', 0, -1, 4, 1, 4 }, { 29, 0, -1, 1, 0, 1 } }));
    ASSERT_NE(blocks, nullptr);
    struct Row {
        double pixelsPerUnit;
        double value; // 255 × min(pixels per unit / 6, 1)²
    };
    const Row rows[] = { { 3.0, 63.75 }, { 4.5, 143.4 }, { 6.0, 255.0 }, { 12.0, 255.0 } };
    // Cells 278 px wide after the inset, rows 40 px: the width sets the scale.
    std::vector<GeometryVertex> vertices;
    for (int i = 0; i < 4; ++i)
        vertices.push_back(continuation(20, 300, 1.0f + 2 * i, "C", 2.0f, float(rows[i].pixelsPerUnit / 278.0)));
    context()->clear(Color<float> { 0, 0, 0, 1 });
    draw(withFont(blocks.get()), vertices, 40.0);

    for (int i = 0; i < 4; ++i) {
        const double k = rows[i].pixelsPerUnit;
        SCOPED_TRACE(std::to_string(k) + " px per unit");
        const int centre = 60 + 80 * i;
        EXPECT_TRUE(isNear(int(21 + k * 4), centre, Rgb { rows[i].value, rows[i].value, rows[i].value }, 1.5))
            << "C's middle, two units after its pen offset of 2";
        EXPECT_TRUE(isNear(int(21 + k), centre, BLACK)) << "nothing before the pen offset";
        EXPECT_TRUE(isNear(int(21 + k * 0.5), int(centre + k * 0.5), BLACK)) << "no size line";
        EXPECT_TRUE(isNear(150, centre - 15, BLACK)) << "no rectangle";
    }
}

TEST_F(IcicleRendererGLTest, ResourcesAreMadeOnceAndTheRealFontDrawsInsideItsCell)
{
    IcicleResources again;
    ASSERT_TRUE(createIcicleResources(*context(), again));
    EXPECT_TRUE(again.context == context() && again.rectangleShader == resources.rectangleShader
                && again.labelShader == resources.labelShader && again.palette == resources.palette
                && again.greyPalette == resources.greyPalette && again.glyphTable == resources.glyphTable
                && again.atlas == resources.atlas);
    EXPECT_EQ(resources.glyphTable->elementCount(), 768u); // 256 codes, three texels each
    EXPECT_EQ(resources.atlas->size(), (Vector<int, 2> { { 512, 512 } }));
    EXPECT_EQ(resources.rectangleShader->blendMode(), 9);
    EXPECT_EQ(resources.labelShader->blendMode(), 11);

    // The generated atlas and glyph table: white glyph pixels over the blue cell (0, 112, 145),
    // the only source of red, inside the cell and nowhere else.
    context()->clear(Color<float> { 0, 0, 0, 1 });
    std::vector<GeometryVertex> label;
    LabelText::labelVertices(cell(20, 300, 1, 0.6875f), "Velbrin wg", 123456789, false, label);
    draw(resources, label, 80.0);
    const std::vector<Color<unsigned char>> pixels = gl.readPixels(0, 0, WINDOW_SIZE, WINDOW_SIZE);
    int inside = 0, outside = 0;
    for (int y = 0; y < WINDOW_SIZE; ++y)
        for (int x = 0; x < WINDOW_SIZE; ++x)
            if (pixels[size_t(WINDOW_SIZE - 1 - y) * WINDOW_SIZE + size_t(x)].red >= 160)
                ++(x > 20 && x < 300 && y > 80 && y < 160 ? inside : outside);
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
}

TEST_F(IcicleRendererGLTest, AMissingOrMistypedUniformFailsProgramCreation)
{
    struct Row {
        const char* name;
        bool label;
        const char* from;
        const char* to;
    };
    const Row rows[] = {
        { "rectangle bevel as vec3", false, "uniform vec2 bevl;", "uniform vec3 bevl;" },
        { "label aspect as int", true, "uniform float aspc;", "uniform int aspc;" },
        { "label glyph table renamed", true, "uniform samplerBuffer glyt;", "uniform samplerBuffer glyx;\n#define glyt glyx" },
    };
    ShaderComponent* vertex = icicleShaderStage(*context(), ICICLE_VERTEX);
    ASSERT_NE(vertex, nullptr) << context()->lastError();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const GlContext::ShaderSource original =
            icicleShaderSource(row.label ? ICICLE_LABEL_GEOMETRY : ICICLE_RECTANGLE_GEOMETRY);
        std::string source(original.text, original.length);
        const size_t at = source.find(row.from);
        ASSERT_NE(at, std::string::npos);
        source.replace(at, std::string(row.from).size(), row.to);
        UniquePtr<ShaderComponent> geometry(
            context()->createShaderComponent(GL_GEOMETRY_SHADER, { source.data(), source.size() }));
        ASSERT_NE(geometry, nullptr) << "the modified source must still compile: " << context()->lastError();
        ShaderComponent* fragment =
            icicleShaderStage(*context(), row.label ? ICICLE_LABEL_FRAGMENT : ICICLE_RECTANGLE_FRAGMENT);
        UniquePtr<Shader> made(row.label ? static_cast<Shader*>(LabelShader::create(*context(), vertex, geometry.get(), fragment))
                                         : RectangleShader::create(*context(), vertex, geometry.get(), fragment));
        EXPECT_EQ(made.get(), nullptr);
    }
}

TEST_F(IcicleRendererGLTest, ChartLeavesTheRootRowOutAndDrawsNothingForAnEmptyRange)
{
    using namespace testtree;
    IcicleNodeLookup lookup;
    IcicleMesh<MasterPtr, int> mesh = IcicleMeshWrangler::createOptimizedMesh(
        lookup, context(), build(dir("/root", { file("big", 2000), file("c", 1000) })), 1);
    ASSERT_NE(mesh.mesh, nullptr);
    IcicleRenderer renderer(withFont(noGlyphs.get()));
    renderer.setComponentToClip(IcicleRenderer::forViewport(WINDOW_SIZE, WINDOW_SIZE));
    // 3000 bytes over 320 px; rows 32 px with the root's row at the top.
    context()->clear(Color<float> { 0, 0, 0, 1 });
    renderer.drawMesh(mesh, COMPONENT, { { 0.0, 3000.0 } }, 0.1, 0.0, VIEWPORT, 1.0f);
    EXPECT_TRUE(isNear(100, 16, BLACK)) << "the root row is left to the root label";
    EXPECT_TRUE(isNear(100, 48, bright(ORANGE))) << "big: x 0..213, hue 0";
    EXPECT_EQ(renderer.lastSubmittedVertices(), 2 * 2) << "two cells, two passes";

    context()->clear(Color<float> { 0, 0, 0, 1 });
    renderer.drawMesh(mesh, COMPONENT, { { 3000.0, 0.0 } }, 0.1, 0.0, VIEWPORT, 1.0f);
    EXPECT_EQ(renderer.lastSubmittedVertices(), 0);
    EXPECT_TRUE(isNear(100, 48, BLACK)) << "a reversed range draws nothing";
}

TEST_F(IcicleRendererGLTest, UnreadableFolderIsStripedInItsOwnColourAndItsNeighbourIsNot)
{
    using namespace testtree;
    auto tree = build(dir("/root", { dir("ok", { file("a", 1500) }), dir("bad", { file("b", 1500) }) }));
    const std::vector<const FilesystemNode*> unreadable { child(tree.get(), "bad") };
    IcicleOptimization::Marks marks;
    marks.unreadableNodes = &unreadable;
    IcicleNodeLookup lookup;
    IcicleMesh<MasterPtr, int> mesh
        = IcicleMeshWrangler::createOptimizedMesh(lookup, context(), std::move(tree), 1, {}, marks);
    ASSERT_NE(mesh.mesh, nullptr);
    IcicleRenderer renderer(withFont(noGlyphs.get()));
    renderer.setComponentToClip(IcicleRenderer::forViewport(WINDOW_SIZE, WINDOW_SIZE));
    context()->clear(Color<float> { 0, 0, 0, 1 });
    renderer.drawMesh(mesh, COMPONENT, { { 0.0, 3000.0 } }, 0.1, 0.0, VIEWPORT, 1.0f);
    // Both folders are orange (hue 0, and 1.0, which wraps to it), 160 px each in row 1.
    int ok = 0, badPlain = 0, badHalf = 0;
    for (int x = 100; x < 108; ++x) {
        ok += isNear(x, 48, bright(ORANGE));
        badPlain += isNear(x + 160, 48, bright(ORANGE));
        badHalf += isNear(x + 160, 48, scaled(bright(ORANGE), 0.5));
    }
    EXPECT_EQ(ok, 8);
    EXPECT_EQ(badPlain, 5);
    EXPECT_EQ(badHalf, 3) << "three pixels in eight striped at half brightness";
}

TEST_F(IcicleRendererGLTest, FolderOfFilesUnderTheMinimumShowsOneGreyBlockBelowIt)
{
    using namespace testtree;
    // "many" (x 2000..3000, px 214..319 of 320) has 1000 files of 1 byte under a 2-byte minimum.
    IcicleNodeLookup lookup;
    IcicleMesh<MasterPtr, int> mesh = IcicleMeshWrangler::createOptimizedMesh(
        lookup, context(), build(dir("/root", { file("big", 2000), dir("many", std::vector<Spec>(1000, file("x", 1))) })), 2);
    ASSERT_TRUE(mesh.mesh && mesh.blockMesh);
    IcicleRenderer renderer(resources); // the real font: a block has no label
    renderer.setComponentToClip(IcicleRenderer::forViewport(WINDOW_SIZE, WINDOW_SIZE));
    context()->clear(Color<float> { 0, 0, 0, 1 });
    renderer.drawMesh(mesh, COMPONENT, { { 0.0, 3000.0 } }, 0.1, 0.0, VIEWPORT, 1.0f);
    for (int x = 216; x < 318; x += 5)
        for (int y = 66; y < 94; y += 3)
            ASSERT_TRUE(isNear(x, y, bright(Rgb { 51, 51, 51 }), 1.5)) << "the block in row 2";
    EXPECT_TRUE(isNear(266, 110, BLACK)) << "nothing in row 3";
}

TEST_F(IcicleRendererGLTest, BlockShowsOnlyAtItsDetailLevelsInGreyAndStripedWhenMarked)
{
    struct Row {
        const char* name;
        float hue;      // a block's code, -(1 + first + 8 last + 64 marked) / 128
        int level;      // the finest level the frame draws
        bool drawn;
        bool striped;
    };
    auto block = [](int first, int last, bool marked) { return -float(1 + first + 8 * last + (marked ? 64 : 0)) / 128.0f; };
    const Row rows[] = {
        { "block of level 0 at level 0", block(0, 0, false), 0, true, false },
        { "block of level 0 at level 1", block(0, 0, false), 1, false, false },
        { "block of levels 2-5 at level 4", block(2, 5, false), 4, true, false },
        { "block of levels 2-5 at level 1", block(2, 5, false), 1, false, false },
        { "block of levels 2-5 at level 6", block(2, 5, false), 6, false, false },
        { "marked block of levels 3-7 at level 7", block(3, 7, true), 7, true, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        IcicleMesh<MasterPtr, int> mesh;
        mesh.mesh = createDynamicMesh<GeometryVertex>(*context(), 1, 1, 0);
        ASSERT_NE(mesh.mesh, nullptr);
        mesh.mesh->replace(std::vector<GeometryVertex> { cell(20, 300, 1, row.hue) });
        // A total of 2048 x 4^level bytes puts the 2-pixel gap of a 320-byte view at that level.
        mesh.totalSize = 2048.0 * std::pow(4.0, row.level);
        IcicleRenderer renderer(withFont(noGlyphs.get()));
        renderer.setComponentToClip(IcicleRenderer::forViewport(WINDOW_SIZE, WINDOW_SIZE));
        ASSERT_EQ(renderer.detailLevel(WINDOW_SIZE, WINDOW_SIZE, mesh.totalSize, 1.0f), row.level);
        context()->clear(Color<float> { 0, 0, 0, 1 });
        renderer.drawMesh(mesh, COMPONENT, { { 0.0, WINDOW_SIZE } }, 0.1, 0.0, VIEWPORT, 1.0f);
        const Rgb plain = bright(Rgb { 51, 51, 51 }); // the neutral grey
        int full = 0, half = 0;
        for (int x = 100; x < 108; ++x) {
            full += isNear(x, 48, plain, 1.5);
            half += isNear(x, 48, scaled(plain, 0.5), 1.5);
        }
        EXPECT_EQ(full + half, row.drawn ? 8 : 0);
        EXPECT_EQ(half, row.striped ? 3 : 0) << "three pixels in eight are striped";
    }
}

// Zoomed in so far that neighbouring floats of a 2^40-byte chart are 125 pixels apart, the
// camera still puts each vertex where the double-precision view says, computed as the shaders do.
TEST(IcicleRendererCameraTest, DeepZoomFarFromTheOriginStaysAccurateInFloats)
{
    IcicleRenderer renderer { IcicleResources {} };
    const double width = 1000.0;
    renderer.setComponentToClip(IcicleRenderer::forViewport(width, 500.0));
    // Floats in [2^40, 2^41) are 2^17 apart. The view's middle is no float: the float offset
    // misses 0.3 of a step, 37 pixels, unless the transform makes up for it.
    const double step = std::ldexp(1.0, 17);
    const double start = std::ldexp(1.0, 40) + 1000.3 * step;
    const double span = 8 * step;
    const IcicleRenderer::Camera view = renderer.camera({ { width, 500.0 } }, { { start, start + span } }, 0.125, 1.0);
    double worst = 0.0;
    for (int k = 990; k <= 1020; ++k) {
        const double x = std::ldexp(1.0, 40) + k * step;
        const float sum = float(x) + view.xOffset;
        const float clip = view.transform.at(0, 0) * sum + view.transform.at(1, 0) * 3.0f + view.transform.at(2, 0);
        worst = std::max(worst, std::abs(double(clip) - ((x - start) / span * 2.0 - 1.0)) * width / 2.0);
    }
    EXPECT_LT(worst, 0.01) << "pixels";

    // Row 1 at the top edge, 0.125 of the height per row.
    const float rowTwo = view.transform.at(1, 1) * 2.0f + view.transform.at(2, 1);
    EXPECT_NEAR(rowTwo, 1.0f - 2.0f * 0.125f, 1e-6f);
}
