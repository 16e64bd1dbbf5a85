// The table every font-engine backend is checked against: strings laid out with DejaVu Sans at
// 20 px, the number of lines each must give at a wrap width and the widest line's width. The
// FreeType test (LineBreakCasesTest.cpp) and the GDI test (gdi/GdiFontEngineTest.cpp) run the same
// rows, so both engines break the same text into the same lines. Wrap widths sit well inside the
// range of widths that gives that count: the engines hint advances differently (a pixel here and
// there), which must not move a break, and widths are compared within a tolerance for the same
// reason.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace line_break_cases {

struct Case {
    const char* name;
    std::u32string_view text;
    int wrapWidth; // 0: no wrapping
    int64_t lines;
    int widest;    // the layout width the FreeType engine gives
};

inline constexpr double HEIGHT = 20;

// Hinted advances differ by up to a pixel per glyph between engines.
inline bool widthAgrees(int actual, int expected)
{
    return std::abs(actual - expected) <= 3 + expected * 6 / 100;
}

inline constexpr Case CASES[] = {
    { "one unwrapped line", U"The quick brown fox jumps over the lazy dog", 0, 1, 450 },
    { "three lines at spaces", U"The quick brown fox jumps over the lazy dog", 200, 3, 187 },
    { "two lines at spaces", U"The quick brown fox jumps over the lazy dog", 340, 2, 320 },
    { "short words", U"Select a directory to scan", 130, 3, 116 },
    { "last word alone", U"Select a directory to scan", 210, 2, 202 },
    { "no opportunity: two pieces", U"supercalifragilisticexpialidocious", 240, 2, 239 },
    { "no opportunity: three pieces", U"supercalifragilisticexpialidocious", 140, 3, 139 },
    { "after hyphens", U"well-known state-of-the-art design", 250, 2, 242 },
    { "after hyphens, narrow", U"well-known state-of-the-art design", 150, 3, 123 },
    { "numbers with commas", U"1,234,567 bytes mapped in 42 directories", 330, 2, 309 },
    { "numbers with commas, narrow", U"1,234,567 bytes mapped in 42 directories", 200, 3, 164 },
    { "double spaces hang", U"two  spaces  between  words", 220, 2, 214 },
    { "brackets and a decimal point", U"Mapped 12.5 GB (read-only)", 200, 2, 167 },
    { "feeds and a trailing feed", U"line one\nline two is longer\n", 0, 3, 171 },
    { "feeds and wrapping", U"line one\nline two is longer\n", 120, 4, 101 },
    { "empty text", U"", 0, 0, 0 },
};

} // namespace line_break_cases
