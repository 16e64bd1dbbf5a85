// The start screen's title: its text, as the label program places it in the cell it is given,
// lies in the middle of the window with a margin on both sides, at the default size and in the
// smallest window alike.
#include "icicle/components/CenteredTitle.h"

#include "gui/envelopes/app/CenteredComponent.h"
#include "icicle/components/RootDirectoryLabel.h"
#include "tests/gui/components/ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using orvex::gui::Rect;
using orvex::gui::Vector2;

// Where the label program draws a title's text across a cell of the given pixel rectangle: from
// the inset left edge, for nameWidth units of min(M / (nameWidth + 0.5), 0.625 Z), M and Z the
// inset cell's width and the height of the cell, which reaches `depth` label heights down.
struct TextSpan {
    double left, right, unit;
};
TextSpan labelText(const GeometryVertex& title, const Rect& cell, double scale)
{
    const double nameWidth = 1.0 / title.inverseLabelWidth - 0.5;
    const double depth = title.row + 1.0 - std::floor(title.row);
    const double inset = std::round(2 * scale) / 2;
    const double unit = std::min((cell.width() - 2 * inset) / (nameWidth + 0.5), 0.625 * (depth * cell.height() - 2 * inset));
    return { cell.left + inset, cell.left + inset + unit * nameWidth, unit };
}

TEST(CenteredTitleTest, TextIsCentredWithMarginsAtEverySize)
{
    struct Row {
        const char* name;
        double width, scale;
        bool fullHeight; // the text as large as the label's height of 160 scaled units allows
    } rows[] = {
        { "the default window", 1280, 1.0, true },
        { "the smallest window, shrunk interface", 480, 0.75, true },
        { "the smallest window at full scale: smaller to keep its margins", 480, 1.0, false },
        { "narrower than the title wants", 300, 1.0, false },
        { "a doubled interface in the default window", 1280, 2.0, true },
        { "a doubled interface in the smallest window", 480, 2.0, false },
    };
    const GeometryVertex title = titleVertex("Velbrin");
    for (const Row& row : rows) {
        auto label = orvex::makeUnique<guitest::Probe>();
        guitest::Probe* probe = label.get();
        auto centred = orvex::makeUnique<CenteredTitle>(title, std::move(label));
        CenteredTitle* placed = centred.get();
        CenteredComponent screen(std::move(centred));
        screen.layout({ row.width, 600 }, { row.width, 600 }, row.scale, 1);

        const Rect cell = placed->childRect.offset(screen.childRect.topLeft());
        EXPECT_EQ(cell.width(), probe->size.x) << row.name << ": the label takes the cell it is given";
        const TextSpan text = labelText(title, cell, row.scale);
        const double margin = CenteredTitle::MARGIN * row.scale;
        EXPECT_NEAR(0.5 * (text.left + text.right), 0.5 * row.width, 1.0) << row.name;
        EXPECT_GE(text.left, margin - 1.0) << row.name;
        EXPECT_LE(text.right, row.width - margin + 1.0) << row.name;
        EXPECT_GE(cell.left, margin - 1.0) << row.name << ": the cell keeps the margin too (glyphs may overhang the text)";
        EXPECT_LE(cell.right, row.width - margin + 1.0) << row.name;
        if (row.fullHeight)
            EXPECT_NEAR(cell.height(), CenteredTitle::HEIGHT * row.scale, 1.0) << row.name;
        else
            EXPECT_LT(cell.height(), CenteredTitle::HEIGHT * row.scale - 1.0) << row.name;
    }
}

} // namespace
