// The built-in-font text object without GL: line breaking, wrap columns from width and scale,
// tabs, bounds under alignment, the Layout queries, selection clamping and the glyph and selection
// meshes it would upload.
#include "gui/render/BasicGLTextObject.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvex;
using namespace orvex::gui;

namespace {

using Lines = std::vector<BitmapTextLine>;

std::unique_ptr<BasicGLTextObject> textObject(std::u32string_view text)
{
    auto object = std::make_unique<BasicGLTextObject>(nullptr);
    object->setText(text);
    return object;
}

} // namespace

TEST(BitmapLineBreakingTest, BreaksAtFeedsAndBeforeWordsPastTheWrapColumn)
{
    struct Row {
        const char* name;
        std::u32string text;
        int wrap;
        Lines expected;
    };
    const Row rows[] = {
        { "empty text is one empty line", U"", 5, { { 0, 0, 0 } } },
        { "no wrapping", U"hello world", 0, { { 0, 11, 11 } } },
        { "a tab takes four columns", U"a\tb", 0, { { 0, 3, 6 } } },
        { "feeds end lines, a trailing feed opens an empty one", U"a\nb\n", 0,
          { { 0, 1, 1 }, { 2, 3, 1 }, { 4, 4, 0 } } },
        { "white space before a feed counts", U"ab  \ncd", 0, { { 0, 4, 4 }, { 5, 7, 2 } } },
        { "the word moves, the space before it goes", U"hello world", 5, { { 0, 5, 5 }, { 6, 11, 5 } } },
        { "breaks before the last space of the line", U"ab cd ef", 5, { { 0, 5, 5 }, { 6, 8, 2 } } },
        { "a long word is cut at the wrap column", U"abcdefghijkl", 5,
          { { 0, 5, 5 }, { 5, 10, 5 }, { 10, 12, 2 } } },
        { "a moved word that is still too long is cut", U"a verylongword", 5,
          { { 0, 1, 1 }, { 2, 7, 5 }, { 7, 12, 5 }, { 12, 14, 2 } } },
        { "a tab pushes the next word over", U"ab\tcd", 5, { { 0, 2, 2 }, { 3, 5, 2 } } },
        { "trailing spaces never break", U"abc      ", 5, { { 0, 9, 9 } } },
        { "wrap 1 puts every glyph on its own line", U"ab", 1, { { 0, 1, 1 }, { 1, 2, 1 } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(breakBitmapText(row.text, row.wrap), row.expected);
    }
}

TEST(BasicGLTextObjectTest, WrapWidthFortyAtScaleOneBreaksAfterFiveColumns)
{
    auto text = textObject(U"abcdefgh");
    text->setWrapWidth(40);
    EXPECT_EQ(text->wrapColumns(), 5);
    EXPECT_EQ(text->lineList(), (Lines { { 0, 5, 5 }, { 5, 8, 3 } }));
    EXPECT_EQ(text->bounds(), (Rect { 0, 0, 40, 32 }));

    // A larger scale keeps the width in pixels, so fewer columns fit.
    text->setScale(2);
    EXPECT_EQ(text->wrapColumns(), 2);
    EXPECT_EQ(text->lineCount(), 4);
    text->setWrapWidth(0);
    EXPECT_EQ(text->lineList(), (Lines { { 0, 8, 8 } }));
    text->setWrapWidth(3); // narrower than one glyph: still one column
    EXPECT_EQ(text->wrapColumns(), 1);
}

TEST(BasicGLTextObjectTest, TabAdvancesFourColumnsInLayoutAndMesh)
{
    auto text = textObject(U"a\tb");
    EXPECT_DOUBLE_EQ(text->xOf(1), 8);
    EXPECT_DOUBLE_EQ(text->xOf(2), 40);
    EXPECT_EQ(text->indexInLine(0, 20), 1) << "inside the tab's cell";
    EXPECT_EQ(text->indexInLine(0, 41), 2);
    std::vector<TexturedVertex> vertices = text->glyphVertices();
    ASSERT_EQ(vertices.size(), 12u) << "a tab draws no quad";
    EXPECT_FLOAT_EQ(vertices[6].x, 5 + bitmapFontMetrics().quadLeft);
}

TEST(BasicGLTextObjectTest, GlyphCellsComeFromTheCodePointWithTheCrossedBoxAbove127)
{
    const BitmapFontMetrics& m = bitmapFontMetrics();
    struct Row {
        char32_t codePoint;
        int glyph;
    };
    for (Row row : { Row { U'A', 65 }, Row { 200, 127 }, Row { 0x4E2D, 127 }, Row { 1, 1 } }) {
        SCOPED_TRACE(row.glyph);
        std::vector<TexturedVertex> vertices = textObject(std::u32string(1, row.codePoint))->glyphVertices();
        ASSERT_EQ(vertices.size(), 6u);
        EXPECT_FLOAT_EQ(vertices[2].u, float(row.glyph % 16) * m.cellWidth + m.textureLeft);
        EXPECT_FLOAT_EQ(vertices[2].v, float(row.glyph / 16) * m.cellHeight + m.textureTop);
        EXPECT_FLOAT_EQ(vertices[2].y, m.ascent + m.quadTop) << "first baseline at the ascent";
    }
}

TEST(BasicGLTextObjectTest, AlignmentMovesBoundsAndGlyphsAlike)
{
    auto text = textObject(U"abcd\nab");
    text->setAlignment(1, 1);
    EXPECT_EQ(text->bounds(), (Rect { -16, -16, 16, 16 }));
    EXPECT_DOUBLE_EQ(text->xOf(5), -8) << "the short line is centred on its own";
    EXPECT_EQ(text->caretRect(0), (Rect { -16, -16, -15, 0 }));
    EXPECT_FLOAT_EQ(text->glyphVertices()[0].x, -2 + bitmapFontMetrics().quadLeft);
    text->setAlignment(2, 2);
    EXPECT_EQ(text->bounds(), (Rect { -32, -32, 0, 0 }));
    EXPECT_DOUBLE_EQ(text->xOf(7), 0);
}

TEST(BasicGLTextObjectTest, LayoutQueriesAgreeAcrossLinesAndFeeds)
{
    auto text = textObject(U"ab\ncd");
    EXPECT_EQ(text->lineCount(), 2);
    EXPECT_EQ(text->lineRange(-1), (TextRange { 0, 0 }));
    EXPECT_EQ(text->lineRange(1), (TextRange { 3, 5 }));
    EXPECT_EQ(text->lineRange(2), (TextRange { 5, 5 }));
    EXPECT_EQ(text->lineOf(2), 0) << "the feed's own index ends line 0";
    EXPECT_EQ(text->lineOf(3), 1);
    EXPECT_EQ(text->lineOf(99), 1);
    EXPECT_EQ(text->caretRect(4), (Rect { 8, 16, 9, 32 }));
    EXPECT_EQ(text->indexInLine(0, -5), 0);
    EXPECT_EQ(text->indexInLine(0, 1000), 2) << "never past the feed";
    EXPECT_EQ(text->indexAt({ 9, 15.9 }), 1);
    EXPECT_EQ(text->indexAt({ 9, 16 }), 4) << "a line's bottom belongs to the next line";
    EXPECT_EQ(text->indexAt({ 100, 500 }), 5);

    // Dropped white space at a wrap belongs to the line before it.
    auto wrapped = textObject(U"hello world");
    wrapped->setWrapWidth(40);
    EXPECT_EQ(wrapped->lineOf(5), 0);
    EXPECT_DOUBLE_EQ(wrapped->xOf(5), 40);
    EXPECT_EQ(wrapped->lineOf(6), 1);
    EXPECT_DOUBLE_EQ(wrapped->xOf(6), 0);
}

TEST(BasicGLTextObjectTest, SelectionIsClampedAndDrawnPerLine)
{
    auto text = textObject(U"ab\ncd");
    struct Row {
        TextRange in;
        TextRange out;
    };
    for (Row row : { Row { { -3, 100 }, { 0, 5 } }, Row { { 3, 1 }, { 0, 0 } }, Row { { 2, 2 }, { 0, 0 } } }) {
        TextRange range = row.in;
        EXPECT_EQ(text->setSelection(range), row.out.start);
        EXPECT_EQ(range, row.out);
    }
    EXPECT_TRUE(text->selectionVertices().empty());

    TextRange range { 1, 4 };
    text->setSelection(range);
    std::vector<BasicVertex> vertices = text->selectionVertices();
    ASSERT_EQ(vertices.size(), 12u);
    // Line 0 from column 1 to 2 over its height, line 1 from column 0 to 1 below it.
    EXPECT_FLOAT_EQ(vertices[0].x, 1);
    EXPECT_FLOAT_EQ(vertices[4].x, 2);
    EXPECT_FLOAT_EQ(vertices[2].y, 0);
    EXPECT_FLOAT_EQ(vertices[4].y, 2);
    EXPECT_FLOAT_EQ(vertices[6].x, 0);
    EXPECT_FLOAT_EQ(vertices[10].x, 1);
    EXPECT_FLOAT_EQ(vertices[10].y, 4);
}
