// The FreeType engine against the line-break table shared with the GDI engine's test.
#include "LineBreakCases.h"

#include "gui/text/NativeTextLayout.h"

#include <gtest/gtest.h>

using namespace orvex::gui;

TEST(LineBreakCases, FreeTypeEngineBreaksTheSharedTable)
{
    orvex::UniquePtr<FontEngine> engine = createFontEngine();
    ASSERT_TRUE(engine);
    FontDescription spec;
    spec.faceName = U"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    spec.height = line_break_cases::HEIGHT;
    orvex::UniquePtr<Font> font = engine->createFont(spec);
    ASSERT_TRUE(font) << "DejaVu Sans must be installed (scripts/install-deps)";
    for (const line_break_cases::Case& row : line_break_cases::CASES) {
        SCOPED_TRACE(row.name);
        NativeTextLayout layout;
        layout.build(row.text, *font, *engine, row.wrapWidth, 0);
        EXPECT_EQ(layout.lineCount(), row.lines);
        EXPECT_PRED2(line_break_cases::widthAgrees, layout.width(), row.widest);
        EXPECT_EQ(layout.height(), row.lines * font->metrics().height);
    }
}
