// Label encodings: glyph codes of name bytes, sizes read back as text through a decoder that
// mirrors the label shader, truncated and split names, and widths against sums of the advance table.
#include "icicle/GlyphAdvances.h"
#include "icicle/LabelCharacters.h"
#include "icicle/LabelText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

using namespace LabelText;

namespace {

// Reads a sizeCode back the way the size line draws it, e.g. "1.500kB".
std::string sizeText(float sizeCode)
{
    static const char* const units[] = {"", "k", "M", "G", "T", "P", "E", "Z", "Y", "R", "Q"};
    uint32_t bits = uint32_t(sizeCode);
    EXPECT_EQ(float(bits), sizeCode) << "a sizeCode is a whole number";
    std::string text;
    for (int slot = 0; slot < 5; ++slot) {
        unsigned c = bits >> (4 * slot) & 15;
        if (c != 0)
            text += c == 14 ? '.' : c == 12 ? '0' : c == 11 ? '9' : c <= 8 ? char('0' + c) : '?';
    }
    unsigned unit = bits >> 20;
    return text + (unit <= 10 ? units[unit] : "?") + "B";
}

// The name line's codes up to the first 0, as the label shader reads them.
std::string nameCodes(const float name[8])
{
    std::string codes;
    for (int j = 0; j < 8; ++j) {
        uint32_t packed = uint32_t(name[j]);
        for (uint32_t c : {packed >> 16 & 255, packed >> 8 & 255, packed & 255}) {
            if (c == 0)
                return codes;
            codes += char(c);
        }
    }
    return codes;
}

double advance(char code) { return glyphAdvances[uint8_t(code)]; }

double widthOf(const std::string& codes)
{
    double width = 0;
    for (char c : codes)
        width += advance(c);
    return width;
}

const std::string alphabet30 = "abcdefghijklmnopqrstuvwxyz0123";

// A page drawing é, 日 and U+1F600 as codes 128, 129 and 130.
const GlyphPageCodes& testPage()
{
    static const GlyphPageCodes page({ 0xE9, 0x65E5, 0x1F600 }, { 0.6f, 1.0f, 1.25f });
    return page;
}

// Bytes to codes, one per character, as the name line packs them.
TEST(LabelTextTest, EachCharacterTakesOneCode)
{
    struct Row { const char* name; std::string bytes; std::string codes; };
    const std::string r(1, char(31)), e(1, char(16));
    const Row rows[] = {
        {"printable ASCII", " ~", " ~"},
        {"tab and line feed are spaces", "\t\n", "  "},
        {"other controls and DEL draw nothing", std::string("\r\x01\x7F\0", 4), e + e + e + e},
        {"two bytes: on the page", "\xC3\xA9", "\x80"},
        {"three bytes: on the page", "\xE6\x97\xA5", "\x81"},
        {"four bytes: on the page", "\xF0\x9F\x98\x80", "\x82"},
        {"a surrogate pair in three bytes each: one character", "\xED\xA0\xBD\xED\xB8\x80", "\x82"},
        {"a lone surrogate", "\xED\xA0\xBDx", r + "x"},
        {"not on the page", "\xD0\x96", r},
        {"a C1 control", "\xC2\x85", e},
        {"stray continuation bytes: one mark", "\x80\xBF\xBFx", r + "x"},
        {"a cut sequence", "\xE6\x97x", r + "x"},
        {"an overlong form", "\xE0\x80\xAFx", r + "x"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", r},
        {"Latin-1, not UTF-8", "caf\xE9", "caf" + r},
    };
    for (const Row& row : rows) {
        std::string codes;
        for (size_t at = 0; at < row.bytes.size();)
            codes += char(glyphCode(nextCharacter(row.bytes, at), testPage()));
        EXPECT_EQ(codes, row.codes) << row.name;
    }
}

TEST(LabelTextTest, AdvanceTableRowsLineUpWithTheirCodes)
{
    // A row shifted by one would move a digit off its code or leave a printable glyph at 0.
    for (char digit = '0'; digit <= '9'; ++digit)
        EXPECT_EQ(glyphAdvances[uint8_t(digit)], 0.3475f) << digit;
    for (int code = 32; code <= 126; ++code)
        EXPECT_GT(glyphAdvances[code], 0.1f) << code;
    EXPECT_EQ(glyphAdvances[29], 0.264f);
    EXPECT_EQ(glyphAdvances[127], 0.0f);
}

TEST(LabelTextTest, SizeShowsFourSignificantDigitsAndUnit)
{
    struct Row { uint64_t size; const char* text; };
    const Row rows[] = {
        {0, "0B"},                 {9, "9B"},                 {1023, "1023B"},
        {1024, "1.000kB"},         {1536, "1.500kB"},         {10239, "9.999kB"},
        {10240, "10.00kB"},        {102400, "100.0kB"},       {1023948, "999.9kB"},
        // From 9999.5 tenths of a kibibyte the number would round to 1000 kB: next unit.
        {1023949, "0.977MB"},      {1024000, "0.977MB"},      {1047552, "0.999MB"},
        {1048575, "1.000MB"},      {1048576, "1.000MB"},      {123456789, "117.7MB"},
        {uint64_t(1) << 40, "1.000TB"},                       {~uint64_t(0), "16.00EB"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(sizeText(packSize(row.size).code), row.text) << row.size;
}

TEST(LabelTextTest, SizeKeepsFourDigitsAcrossEveryRoundingBoundary)
{
    static const char units[] = "kMGTPE";
    for (int unit = 1; unit <= 5; ++unit) {
        double unitBytes = std::ldexp(1.0, 10 * unit);
        for (double boundary : {9.9995, 99.995, 999.95}) {
            uint64_t centre = uint64_t(boundary * unitBytes);
            for (uint64_t size = centre - 300; size <= centre + 300; ++size) {
                std::string text = sizeText(packSize(size).code);
                std::string number = text.substr(0, text.size() - 2);
                int shownUnit = int(std::string(units).find(text[text.size() - 2])) + 1;
                ASSERT_EQ(std::count_if(number.begin(), number.end(), ::isdigit), 4) << size << " shows " << text;
                ASSERT_EQ(number.find('.'), number.rfind('.')) << size << " shows " << text;
                int decimals = int(number.size() - number.find('.') - 1);
                double exact = double(size) / std::ldexp(1.0, 10 * shownUnit);
                ASSERT_NEAR(std::stod(number), exact, 0.5 * std::pow(10.0, -decimals) + 1e-9) << size << " shows " << text;
            }
        }
    }
}

TEST(LabelTextTest, SizeWidthSumsSlotsSpacingUnitAndB)
{
    const double digit = 0.2085, point = 0.09375, spacing = 0.023484375, b = 0.264;
    struct Row { uint64_t size; double width; };
    const Row rows[] = {
        {7, digit + spacing + b},
        {1023, 4 * digit + spacing + b},
        {1536, 4 * digit + point + spacing + 0.2115 + b},
        {123456789, 4 * digit + point + spacing + 0.32625 + b},
        {~uint64_t(0), 4 * digit + point + spacing + 0.24938 + b},
    };
    for (const Row& row : rows)
        EXPECT_NEAR(packSize(row.size).width, row.width, 1e-6) << row.size;
}

TEST(LabelTextTest, NameIsWholeUpTo24BytesThenEllipsis)
{
    struct Row { const char* name; std::string input; std::string codes; double width; };
    const std::string a24(24, 'a');
    const Row rows[] = {
        {"empty", "", "", 0.0},
        {"24 bytes", a24, a24, 24 * advance('a')},
        {"25 bytes", a24 + "b", std::string(23, 'a') + char(30), 23 * advance('a') + 0.46875},
        {"30 bytes", alphabet30, alphabet30.substr(0, 23) + char(30), widthOf(alphabet30.substr(0, 23)) + 0.46875},
        // Controls are written as the details bar writes them, so a name reads alike in both.
        {"UTF-8 and escaped controls", "\xC3\xA9\tx\r\x01\x7F", char(31) + std::string("\\tx\\r\\x01\\x7F"),
         0.5 + widthOf("\\tx\\r\\x01\\x7F")},
    };
    for (const Row& row : rows) {
        float name[8];
        EXPECT_NEAR(packName(row.input, name), row.width, 1e-6) << row.name;
        EXPECT_EQ(nameCodes(name), row.codes) << row.name;
    }
    // Slots count characters, not bytes: 24 two-byte characters fit, 25 end in the ellipsis.
    std::string e24;
    for (int i = 0; i < 24; ++i)
        e24 += "\xC3\xA9";
    float name[8];
    EXPECT_NEAR(packName(e24, name, testPage()), 24 * 0.6, 1e-5);
    EXPECT_EQ(nameCodes(name), std::string(24, char(128)));
    EXPECT_NEAR(packName(e24 + "\xE6\x97\xA5", name, testPage()), 23 * 0.6 + 0.46875, 1e-5);
    EXPECT_EQ(nameCodes(name), std::string(23, char(128)) + char(30));
}

const GeometryVertex cell = {10.0f, 2.27201962f, 30.0f, 0.375f, 0, 0, {}};

TEST(LabelTextTest, LongNameIsTruncatedOrContinuesAtItsPenOffset)
{
    const std::string long66 = alphabet30 + alphabet30 + "XYZ!?.";
    struct Row { const char* name; std::string input; bool split; std::string firstCodes; size_t vertices; };
    const Row rows[] = {
        {"empty", "", true, "", 1},
        {"24 bytes split", alphabet30.substr(0, 24), true, alphabet30.substr(0, 24), 1},
        {"25 bytes split", alphabet30.substr(0, 25), true, alphabet30.substr(0, 24), 2},
        {"30 bytes split", alphabet30, true, alphabet30.substr(0, 24), 2},
        {"30 bytes unsplit", alphabet30, false, alphabet30.substr(0, 23) + char(30), 1},
        {"66 bytes split: 24 + 21 + 21", long66, true, long66.substr(0, 24), 3},
    };
    for (const Row& row : rows) {
        std::vector<GeometryVertex> out(1); // appends after what is there
        labelVertices(cell, row.input, 123456789, row.split, out);
        ASSERT_EQ(out.size(), 1 + row.vertices) << row.name;
        EXPECT_EQ(sizeText(out[1].sizeCode), "117.7MB") << row.name;
        EXPECT_EQ(nameCodes(out[1].name), row.firstCodes) << row.name;
        double nameWidth = row.split ? widthOf(row.input) : widthOf(row.firstCodes);
        float inverse = inverseLabelWidth(packSize(123456789).width, nameWidth);
        for (size_t i = 1; i < out.size(); ++i) {
            const GeometryVertex& v = out[i];
            EXPECT_TRUE(v.x0 == cell.x0 && v.row == cell.row && v.x1 == cell.x1 && v.hue == cell.hue) << row.name << " " << i;
            EXPECT_FLOAT_EQ(v.inverseLabelWidth, inverse) << row.name << " " << i;
            EXPECT_EQ(v.inverseLabelWidth, out[1].inverseLabelWidth) << row.name << " " << i;
            if (i == 1)
                continue;
            size_t start = 24 + 21 * (i - 2);
            EXPECT_EQ(v.sizeCode, 0.0f) << row.name << " " << i;
            EXPECT_EQ(nameCodes(v.name), row.input.substr(start, 21)) << row.name << " " << i;
            EXPECT_NEAR(v.name[7], widthOf(row.input.substr(0, start)), 1e-5) << row.name << " " << i;
        }
    }
    // The second part starts exactly where the first 24 bytes, measured alone, end.
    std::vector<GeometryVertex> out;
    labelVertices(cell, alphabet30, 0, true, out);
    float first[8];
    EXPECT_EQ(out[1].name[7], float(packName(alphabet30.substr(0, 24), first)));
}

TEST(LabelTextTest, SplitStopsBeforeTheOffsetReadsAsGlyphCodes)
{
    std::vector<GeometryVertex> out;
    labelVertices(cell, std::string(160000, 'm'), 1, true, out);
    ASSERT_GT(out.size(), 2u);
    EXPECT_LT(out.back().name[7], 65536.0f);
    EXPECT_GT(out.back().name[7] + 21 * advance('m'), 65536.0f) << "stopped only at the limit";
    // A continuation of characters from the page starts at the pen the first 24 left.
    std::string long30;
    for (int i = 0; i < 30; ++i)
        long30 += "\xE6\x97\xA5";
    out.clear();
    labelVertices(cell, long30, 1, true, out, testPage());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NEAR(out[1].name[7], 24.0, 1e-6);
    EXPECT_EQ(nameCodes(out[1].name), std::string(6, char(129)));
    EXPECT_FLOAT_EQ(out[0].inverseLabelWidth, inverseLabelWidth(packSize(1).width, 30.0));
}

} // namespace

// [SECTION] The characters a chart's glyph page draws

namespace {

std::string utf8(char32_t c)
{
    std::string out;
    if (c < 0x800)
        out = { char(0xC0 | c >> 6), char(0x80 | (c & 63)) };
    else if (c < 0x10000)
        out = { char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 63)), char(0x80 | (c & 63)) };
    else
        out = { char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 63)), char(0x80 | (c >> 6 & 63)), char(0x80 | (c & 63)) };
    return out;
}

} // namespace

// 200 cells, each named with a character of its own and sized by its index: the page ranks the
// heaviest first. A character shared by small cells outweighs one large cell; ASCII, marks for bad
// bytes and the replacement character never count.
TEST(LabelCharactersTest, TheHeaviestCharactersComeFirst)
{
    std::vector<std::string> names;
    std::vector<double> weights;
    for (char32_t i = 0; i < 200; ++i) {
        names.push_back("f" + utf8(0x4E00 + i));
        weights.push_back(1000 + i);
    }
    for (int i = 0; i < 10; ++i) {
        names.push_back(utf8(0x0416) + std::to_string(i)); // Ж in ten cells of 150 bytes: 1500
        weights.push_back(150);
    }
    names.push_back(utf8(0x3042) + "\xFF\xEF\xBF\xBD"); // あ, a bad byte and U+FFFD
    weights.push_back(999);
    names.push_back("plain ascii");
    weights.push_back(1e9);
    std::vector<LabelCharacterUse> uses;
    for (size_t i = 0; i < names.size(); ++i)
        uses.push_back({ names[i], weights[i] });

    const std::vector<char32_t> ranked = rankLabelCharacters(uses, 128);
    ASSERT_EQ(ranked.size(), 128u);
    EXPECT_EQ(ranked[0], char32_t(0x0416)) << "ten cells of 150 bytes outweigh one of 1,199";
    for (size_t i = 1; i < ranked.size(); ++i)
        EXPECT_EQ(ranked[i], char32_t(0x4E00 + 200 - i)) << i;
    EXPECT_EQ(rankLabelCharacters(uses, 1000).size(), 202u) << "200 ideographs, Ж and あ; no mark for bad bytes";
    EXPECT_TRUE(rankLabelCharacters({ { "ascii only", 5 } }, 128).empty());
}

namespace {

// A name's codes as labelVertices packs them, vertices joined, the built-in ellipsis as "~".
std::string labelCodes(std::string_view name, bool split)
{
    std::vector<GeometryVertex> out;
    labelVertices(cell, name, 1, split, out, testPage());
    std::string codes;
    for (const GeometryVertex& vertex : out)
        codes += nameCodes(vertex.name);
    for (char& c : codes)
        if (c == char(ellipsisCode))
            c = '~';
    return codes;
}

} // namespace

// A lone surrogate is one ill-formed mark: it ranks nothing for the glyph page, while a pair
// written as two three-byte sequences ranks its one character.
TEST(LabelCharactersTest, ALoneSurrogateRanksNoCharacter)
{
    const std::pair<const char*, std::vector<char32_t>> rows[] = {
        { "a\xED\xA0\xBD" "b", {} },          // a high surrogate alone
        { "a\xED\xB8\x80", {} },              // a low surrogate alone
        { "\xED\xB8\x80\xED\xA0\xBD", {} },   // low before high: two marks
        { "x\xED\xA0\xBD", {} },              // a high surrogate at the end
        { "\xED\xA0\xBD\xED\xB8\x80", { 0x1F600 } },
        { "\xE2\x80\xA6/d/d", {} },           // the ellipsis of an elided path is built in
    };
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(rankLabelCharacters({ { name, 10.0 } }, 128), expected) << name;
}

// A deep path keeps its end, from a separator, within the characters it is given; a scan root
// among several shows the end of its path in its one vertex.
TEST(LabelTextTest, LongPathsKeepTheirEnd)
{
    std::string deep = "/tmp/chain";
    for (int i = 0; i < 200; ++i)
        deep += "/d";
    const struct {
        std::string path;
        size_t characters;
        std::string expected;
    } rows[] = {
        { "/srv/data", 9, "/srv/data" },
        { "/srv/data", 8, "\xE2\x80\xA6/data" },
        { "/srv/data/", 7, "\xE2\x80\xA6/data/" },
        { deep, 8, "\xE2\x80\xA6/d/d/d" },
        { "/x/abcdefgh", 5, "\xE2\x80\xA6" "efgh" },
        { "/x/abcdefghij/", 5, "\xE2\x80\xA6" "hij/" }, // a trailing separator is no place to start
        { "/x/\xC3\xA9\xC3\xA9\xC3\xA9", 5, "\xE2\x80\xA6/\xC3\xA9\xC3\xA9\xC3\xA9" },
        { "/trees/projects-2026-alpha", 24, "\xE2\x80\xA6/projects-2026-alpha" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(pathTail(row.path, row.characters), row.expected) << row.path << " " << row.characters;
    EXPECT_EQ(labelCodes(pathTail(deep, 24), false), "~/d/d/d/d/d/d/d/d/d/d/d") << "one vertex, no truncation";
}

// Right-to-left names are packed in their visual order; in a path each name keeps its place
// between the separators, and escapes stay readable.
TEST(LabelTextTest, RightToLeftNamesArePackedInVisualOrder)
{
    // Hebrew letters are not on the test page: they pack as the replacement mark, so the order is
    // read from the Latin and ASCII around them.
    const std::string alef = "\xD7\x90", bet = "\xD7\x91";
    const std::string r(1, char(replacementCode));
    const struct {
        const char* name;
        std::string text;
        bool split;
        std::string expected;
    } rows[] = {
        { "a name turns", alef + "1" + bet + "2", false, "2" + r + "1" + r },
        { "a Latin name stays", "caf\xC3\xA9.txt", false, "caf\x80.txt" },
        { "a path keeps its separators", "/s/" + alef + "a/" + bet + "b/x", true, "/s/a" + r + "/b" + r + "/x" },
        { "a name's tab is an escape read left to right", alef + "\t" + bet, false, r + "\\t" + r },
        { "a name led by a right-to-left letter runs right to left", alef + ".bin", false, "bin." + r },
        { "a name led by a Latin letter runs left to right", "a.bin" + alef, false, "a.bin" + r },
        { "a long right-to-left name ends in the ellipsis at its left", [&] {
              std::string name;
              for (int i = 0; i < 30; ++i)
                  name += alef;
              return name;
          }(), false, "~" + std::string(23, char(replacementCode)) },
    };
    for (const auto& row : rows)
        EXPECT_EQ(labelCodes(row.text, row.split), row.expected) << row.name;
}
