// The visual order of lines a file manager shows: paths with right-to-left names, with and
// without isolates around each name, numbers inside right-to-left text, marks and brackets.
#include "engine/core/BidiOrder.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvex::bidi;

namespace {

// `text` as shown from left to right, bidi controls left out, right-to-left brackets mirrored;
// Hebrew letters א..ה stand as A..E and Arabic letters ا ب as a b, so that failures read.
std::string shown(const std::u32string& text)
{
    const std::vector<uint8_t> lineLevels = levels(text);
    std::string out;
    for (size_t i : visualOrder(lineLevels)) {
        char32_t c = text[i];
        if (c == FSI || c == PDI || c == 0x2066 || c == 0x2067)
            continue;
        if (lineLevels[i] % 2)
            c = mirrored(c);
        if (c >= U'\u05D0' && c <= U'\u05D4')
            out += char('A' + (c - U'\u05D0'));
        else if (c == U'\u0627' || c == U'\u0628')
            out += char('a' + (c - U'\u0627'));
        else if (c == U'\u05B4')
            out += '^';
        else
            out += char(c);
    }
    return out;
}

TEST(BidiOrderTest, LinesShowInTheirVisualOrder)
{
    const std::u32string fsi(1, FSI), pdi(1, PDI);
    struct Row {
        const char* name;
        std::u32string text;
        std::string expected;
    };
    const Row rows[] = {
        { "left to right stays", U"/usr/bin (x)", "/usr/bin (x)" },
        { "a right-to-left word turns", U"אבג", "CBA" },
        { "separators between right-to-left names join them", U"/s/אב/גד/x", "/s/DC/BA/x" },
        { "isolated names keep the separators between them",
          U"/s/" + fsi + U"אב" + pdi + U"/" + fsi + U"גד" + pdi + U"/x", "/s/BA/DC/x" },
        { "an isolate whose first strong letter is Latin runs left to right",
          U"/s/" + fsi + U"f_אב_.bin" + pdi, "/s/f_BA_.bin" },
        { "a right-to-left isolate keeps its trailing neutral inside", U"x " + fsi + U"אב." + pdi + U" y", "x .BA y" },
        { "numbers in right-to-left text read left to right", U"אב 12 ג", "C 12 BA" },
        { "a separator between digits joins them", U"\u2067א 1.5\u2069", "1.5 A" },
        { "a mark stays with its letter", U"א\u05B4ב", "B^A" },
        { "brackets are mirrored in right-to-left text", U"\u2067א(ב)\u2069", "(B)A" },
        { "digits after an Arabic letter are Arabic", U"ا 12 ب", "b 12 a" },
        { "a plus between Arabic digits does not join them", U"ا1+2", "2+1a" },
        { "a separator joins digits only with digits after it", U"\u2067" U"12.א\u2069", "A.12" },
        { "an isolate's direction skips the isolates nested in it",
          U"x " + fsi + U"\u2066" U"a" + pdi + U"א" + pdi, "x Aa" },
        { "an unclosed isolate runs to the end", U"z " + fsi + U"אב", "z BA" },
        { "empty", U"", "" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(shown(row.text), row.expected) << row.name;
}

TEST(BidiOrderTest, LevelsOfIsolatesAndTheirControls)
{
    // The controls take the outer level; a right-to-left isolate's text is 1, a left-to-right
    // one's 2, its Hebrew letters 3.
    const std::u32string text = U"a\u2068אב\u2069\u2068cא\u2069";
    const std::vector<uint8_t> expected = { 0, 0, 1, 1, 0, 0, 2, 3, 0 };
    EXPECT_EQ(levels(text), expected);
    EXPECT_TRUE(hasRightToLeft(U"a/\u05D0"));
    EXPECT_FALSE(hasRightToLeft(U"caf\u00E9 \u4E2D 1/2"));
    EXPECT_EQ(typeOf(U'\u0660'), Type::AN);
    EXPECT_EQ(typeOf(U'\u200F'), Type::R);
}

} // namespace
