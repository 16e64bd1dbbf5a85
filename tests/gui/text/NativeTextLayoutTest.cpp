// Layout, breaking and shaping with DejaVu Sans loaded by path (so the face is the same on every
// machine), plus the font cache and the factory's font check over a stand-in engine.
#include "gui/text/FontCache.h"
#include "gui/text/NativeTextLayout.h"
#include "gui/text/NativeTextObjectFactory.h"
#include "gui/text/BasicGLNativeTextObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvex::gui;

namespace {

const char32_t* const DEJAVU = U"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class NativeTextLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = createFontEngine();
        ASSERT_TRUE(engine);
        FontDescription spec;
        spec.faceName = DEJAVU;
        spec.height = 20;
        font = engine->createFont(spec);
        ASSERT_TRUE(font) << "DejaVu Sans must be installed (scripts/install-deps)";
    }

    // The width of the first `count` code points of `text` as the layout measures them.
    int prefixWidth(std::u32string_view text, size_t count)
    {
        ShapedText shaped = font->shape(text);
        int sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += shaped.advance(i);
        return sum;
    }

    std::vector<std::u32string> lineTexts(const NativeTextLayout& layout, std::u32string_view text)
    {
        std::vector<std::u32string> out;
        for (const auto& line : layout.lines())
            out.emplace_back(text.substr(size_t(line.start), size_t(line.end - line.start)));
        return out;
    }

    orvex::UniquePtr<FontEngine> engine;
    orvex::UniquePtr<Font> font;
};

} // namespace

TEST_F(NativeTextLayoutTest, BreaksLinesAtFixedWrapWidths)
{
    const struct {
        const char* name;
        std::u32string text;
        size_t fitting;  // the wrap width is the width of this many code points (0: no wrap)
        std::vector<std::u32string> lines;
    } rows[] = {
        { "break after the space", U"hello world", 7, { U"hello ", U"world" } },
        { "space hangs past the edge", U"hello you", 5, { U"hello ", U"you" } },
        { "no opportunity: fitting point", U"abcdefghij", 4, { U"abcd", U"efgh", U"ij" } },
        { "after a hyphen", U"this-is a test", 6, { U"this-", U"is a ", U"test" } },
        { "blanks after a forced break are skipped", U"abcdefgh   ij", 8, { U"abcdefgh   ", U"ij" } },
        { "feeds always break", U"a\nb c", 0, { U"a", U"b c" } },
        { "trailing feed adds an empty line", U"ab\n", 0, { U"ab", U"" } },
        { "empty paragraphs are lines", U"\n\n", 0, { U"", U"", U"" } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::u32string_view first = std::u32string_view(row.text).substr(0, row.text.find(U'\n'));
        const int wrap = row.fitting ? prefixWidth(first, row.fitting) : 10000;
        NativeTextLayout layout;
        layout.build(row.text, *font, *engine, wrap, 0);
        EXPECT_EQ(lineTexts(layout, row.text), row.lines);
        const int cell = font->metrics().height;
        EXPECT_EQ(layout.height(), cell * int(row.lines.size()));
        for (const auto& line : layout.lines())
            EXPECT_LE(line.width, wrap);
    }
}

TEST_F(NativeTextLayoutTest, BoundsAndAlignmentFollowTheWidestLine)
{
    const std::u32string text = U"wide line here\nnarrow";
    for (int alignment : { 0, 1, 2, 7 }) {
        NativeTextLayout layout;
        layout.build(text, *font, *engine, 1000, alignment);
        ASSERT_EQ(layout.lineCount(), 2);
        const auto& wide = layout.lines()[0];
        const auto& narrow = layout.lines()[1];
        EXPECT_EQ(layout.width(), wide.width);
        EXPECT_EQ(wide.left, 0);
        const int expected = alignment == 1 ? (wide.width - narrow.width) / 2
                             : alignment == 2 ? wide.width - narrow.width
                                              : 0;
        EXPECT_EQ(narrow.left, expected) << "alignment " << alignment;
        EXPECT_EQ(layout.xOf(15), narrow.left) << "the caret before the second line's first character";
    }
}

TEST_F(NativeTextLayoutTest, CaretQueriesAgreeWithCells)
{
    const std::u32string text = U"office hours\nline two";
    NativeTextLayout layout;
    layout.build(text, *font, *engine, prefixWidth(text, 9), 0); // "office " | "hours" | "line two"
    ASSERT_EQ(layout.lineCount(), 3);

    // Every index: its cell's middle hits it, and the caret x never runs backwards in a line.
    for (int64_t line = 0; line < layout.lineCount(); ++line) {
        const TextRange range = layout.lineRange(line);
        double previous = -1;
        for (int64_t i = range.start; i < range.end; ++i) {
            const double x = layout.xOf(i);
            const double next = layout.xOf(i + 1) > x && layout.lineOf(i + 1) == line ? layout.xOf(i + 1) : x + 1;
            EXPECT_GE(x, previous) << i;
            previous = x;
            const Rect caret = layout.caretRect(i);
            EXPECT_EQ(layout.indexAt({ (x + next) / 2, (caret.top + caret.bottom) / 2 }), i) << i;
            EXPECT_EQ(layout.lineOf(i), line);
        }
    }
    // The "ffi" ligature: carets inside it are spread over its width.
    EXPECT_LT(layout.xOf(1), layout.xOf(2));
    EXPECT_LT(layout.xOf(2), layout.xOf(3));
    EXPECT_LT(layout.xOf(3), layout.xOf(4));

    const auto& first = layout.lines()[0];
    const auto& last = layout.lines()[2];
    EXPECT_EQ(layout.lineOf(7), 1) << "an index at a wrap starts the next line";
    EXPECT_EQ(layout.lineOf(12), 1) << "the feed belongs to the line it ends";
    EXPECT_EQ(layout.indexInLine(1, 1e6), 12) << "never past the feed";
    EXPECT_EQ(layout.indexInLine(0, -5), 0);
    EXPECT_EQ(layout.indexInLine(2, 1e6), int64_t(text.size()));
    EXPECT_EQ(layout.indexAt({ 0, double(first.bottom) }), 7) << "a y on a line's bottom belongs to the next";
    EXPECT_EQ(layout.indexAt({ 0, 1e6 }), last.start);
    EXPECT_EQ(layout.lineRange(-1), (TextRange { 0, 0 }));
    EXPECT_EQ(layout.lineRange(3), (TextRange { 21, 21 }));
    EXPECT_EQ(layout.caretRect(21), (Rect { layout.xOf(21), double(last.top), layout.xOf(21) + 1, double(last.bottom) }));
}

TEST_F(NativeTextLayoutTest, NonLatinTextComesOutAsRealGlyphs)
{
    const struct {
        const char* name;
        std::u32string text;
        bool fallback; // needs a face other than DejaVu Sans
    } rows[] = {
        { "Cyrillic", U"Привет, мир", false },
        { "Greek", U"Καλημέρα κόσμε", false },
        { "CJK through the fallback face", U"中文 ok", true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ShapedText shaped = font->shape(row.text);
        ASSERT_FALSE(shaped.glyphs.empty());
        bool usedFallback = false;
        for (const ShapedGlyph& glyph : shaped.glyphs) {
            EXPECT_NE(glyph.glyph, 0u) << "a missing-glyph box for code point " << uint32_t(row.text[size_t(glyph.cluster)]);
            usedFallback |= glyph.face != 0;
        }
        EXPECT_EQ(usedFallback, row.fallback);
        for (size_t i = 0; i < row.text.size(); ++i)
            EXPECT_GT(shaped.advance(i), 0) << i;
    }
}

TEST(NativeTextObject, ColorBytesAndPixelSnapping)
{
    ColorSet set;
    set.color = { 1, 0.5f, 0, 1 };
    set.backgroundColor = { -1, 2, 0.2f, 0 };
    const auto bytes = BasicGLNativeTextObject::colorBytes(set);
    EXPECT_EQ(bytes[0], (Bgr { 0, 127, 255 })) << "255 - floor(255.5 - 127.5)";
    EXPECT_EQ(bytes[1], (Bgr { 51, 255, 0 }));
    EXPECT_EQ(bytes[2], bytes[0]) << "no selected-text colour: the text colour";
    EXPECT_EQ(bytes[3], (Bgr { 255, 0, 0 }));

    // A 200 x 100 viewport: x pixels map to -1 + x / 100, y pixels to 1 - y / 50.
    orvex::Matrix<float, 4, 4> m = orvex::Matrix<float, 4, 4>::identity();
    m.at(0, 0) = 0.01f;
    m.at(1, 1) = -0.02f;
    m.at(3, 0) = -1 + 10.4f * 0.01f;
    m.at(3, 1) = 1 - 7.6f * 0.02f;
    const auto snapped = BasicGLNativeTextObject::quadMatrix(m, 30, 20);
    EXPECT_NEAR((snapped.at(3, 0) + 1) / 0.01, 10.0, 1e-3);
    EXPECT_NEAR((1 - snapped.at(3, 1)) / 0.02, 8.0, 1e-3);
    EXPECT_FLOAT_EQ(snapped.at(0, 0), 0.3f);
    EXPECT_FLOAT_EQ(snapped.at(1, 1), -0.4f);

    m.at(1, 0) = 0.5f; // shear: left alone
    EXPECT_FLOAT_EQ(BasicGLNativeTextObject::quadMatrix(m, 1, 1).at(3, 0), m.at(3, 0));
}

namespace {

// Makes fonts for every weight but `failing`, counting what lives.
class StandInEngine final : public FontEngine {
public:
    struct Counted final : Font {
        explicit Counted(int& alive) : alive(alive) { ++alive; }
        ~Counted() override { --alive; }
        FontMetrics metrics() const override { return { 8, 2, 10 }; }
        ShapedText shape(std::u32string_view) override { return {}; }
        void draw(const ShapedText&, BgrSurface&, int, int, const IntRect&, const GlyphPaint&) override {}
        int& alive;
    };
    StandInEngine(int& alive, int& made, int failing) : alive(alive), made(made), failing(failing) {}
    orvex::UniquePtr<Font> createFont(const FontDescription& spec) override
    {
        ++made;
        return spec.weight == failing ? nullptr : orvex::UniquePtr<Font>(new Counted(alive));
    }
    std::vector<uint8_t> breakOpportunities(std::u32string_view text) override
    {
        return std::vector<uint8_t>(text.size(), 0);
    }
    int& alive;
    int& made;
    int failing;
};

} // namespace

TEST(FontCache, MakesAFontOnFirstAcquireAndDeletesItOnLastRelease)
{
    int alive = 0, made = 0;
    FontCache cache(orvex::UniquePtr<FontEngine>(new StandInEngine(alive, made, -1)));
    FontDescription regular;
    regular.height = 20;
    FontDescription bold = regular;
    bold.weight = 700;

    FontCache::Entry* a = cache.acquire(regular);
    FontCache::Entry* b = cache.acquire(regular);
    EXPECT_EQ(a, b);
    EXPECT_EQ(made, 1);
    FontCache::Entry* c = cache.acquire(bold);
    EXPECT_NE(c, a);
    EXPECT_EQ(alive, 2);
    cache.release(a);
    EXPECT_EQ(alive, 2) << "one reference left";
    cache.release(b);
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(cache.size(), 1u);
    cache.release(c);
    EXPECT_EQ(cache.size(), 0u);
    FontCache::Entry* again = cache.acquire(regular);
    EXPECT_EQ(made, 3) << "made again after it went";
    cache.release(again);
    EXPECT_EQ(alive, 0);
}

TEST(NativeTextObjectFactory, FontCheckFailsWhenEitherWeightCannotBeMade)
{
    const struct {
        int failing;
        bool passes;
    } rows[] = { { -1, true }, { 400, false }, { 700, false } };
    for (auto row : rows) {
        int alive = 0, made = 0;
        NativeTextObjectFactory factory(nullptr, 640, 480,
                                        orvex::UniquePtr<FontEngine>(new StandInEngine(alive, made, row.failing)));
        EXPECT_EQ(factory.checkFonts(), row.passes) << "failing weight " << row.failing;
        EXPECT_EQ(alive, 0) << "the check releases what it made";
        EXPECT_EQ(factory.fontCache()->size(), 0u);
    }
}

// A path whose names are right to left, each in its own isolate, keeps every separator between
// the names it separates: each name's cells lie between the separators around it, its first
// letter at its right, and the isolate controls take no room.
TEST_F(NativeTextLayoutTest, RightToLeftNamesStayBetweenTheirSeparators)
{
    const std::u32string fsi(1, U'\u2068'), pdi(1, U'\u2069');
    const struct {
        const char* name;
        std::u32string text;
    } rows[] = {
        { "Hebrew", U"/s/" + fsi + U"עברית_קבצים" + pdi + U"/" + fsi + U"file_עברית_.bin" + pdi },
        { "Arabic", U"/s/" + fsi + U"ملفات_عربية" + pdi + U"/" + fsi + U"file_عربي_.bin" + pdi },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::u32string& text = row.text;
        const ShapedText shaped = font->shape(text);
        const size_t open = 3, close = text.find(U'\u2069'), slash = close + 1;
        ASSERT_EQ(text[slash], U'/');
        EXPECT_EQ(shaped.advance(open), 0);
        EXPECT_EQ(shaped.advance(close), 0);
        for (size_t i = open + 1; i < close; ++i) {
            EXPECT_GE(shaped.cellLeft[i], shaped.cellRight[2]) << i << ": right of the separator before";
            EXPECT_LE(shaped.cellRight[i], shaped.cellLeft[slash]) << i << ": left of the separator after";
        }
        EXPECT_TRUE(shaped.rightToLeft[open + 1]);
        EXPECT_GT(shaped.cellLeft[open + 1], shaped.cellLeft[open + 2]) << "the first letter at the right";
        // The second name starts left to right: its dot stays before "bin".
        const size_t dot = text.find(U".bin");
        EXPECT_LT(shaped.cellLeft[dot], shaped.cellLeft[dot + 1]);
        EXPECT_GT(shaped.cellLeft[dot], shaped.cellLeft[slash + 2]) << "after the name's first letter";
        for (const ShapedGlyph& glyph : shaped.glyphs)
            EXPECT_TRUE(glyph.glyph != 0 || shaped.advance(size_t(glyph.cluster)) == 0) << "a box for " << glyph.cluster;
    }
}
