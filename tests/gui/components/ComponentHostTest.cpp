// The host's layout scale: the DPI scale, the user's clamped interface scale, and the shrink rule
// of a window smaller than its reference size.
#include "gui/ComponentHost.h"

#include "engine/window/Window.h"

#include <gtest/gtest.h>

namespace {

using orvex::gui::ComponentHost;
using orvex::gui::Vector2;

// The application's rule: 3/4 at 480 x 360, full size from 1280 x 757 on.
const ComponentHost::ShrinkRule appRule { { 480, 360 }, { 1280, 757 }, 0.75 };

TEST(ComponentHostTest, ShrinkFactorFollowsTheNarrowerAxis)
{
    struct Row {
        const char* name;
        ComponentHost::ShrinkRule rule;
        Vector2 client;
        double factor;
    } rows[] = {
        { "the default rule never shrinks", {}, { 480, 360 }, 1.0 },
        { "the reference size", appRule, { 1280, 757 }, 1.0 },
        { "larger than the reference", appRule, { 2560, 1440 }, 1.0 },
        { "the smallest size", appRule, { 480, 360 }, 0.75 },
        { "below the smallest size", appRule, { 200, 100 }, 0.75 },
        { "half way across", appRule, { 880, 757 }, 0.875 },
        { "half way down", appRule, { 1280, 558.5 }, 0.875 },
        { "wide but short: the height decides", appRule, { 1600, 400 }, 0.75 + 0.25 * 40 / 397 },
        { "one pixel below the reference", appRule, { 1279, 757 }, 1.0 - 0.25 / 800 },
        { "a rule whose reference is not larger", { { 480, 360 }, { 480, 360 }, 0.75 }, { 400, 300 }, 1.0 },
    };
    for (const Row& row : rows)
        EXPECT_NEAR(row.rule.factor(row.client), row.factor, 1e-12) << row.name;
}

TEST(ComponentHostTest, LayoutScaleMultipliesDpiInterfaceAndShrink)
{
    orvex::Window window;
    const double dpi = window.dpiScale();
    window.setSize(int(480 * dpi), int(360 * dpi));
    ComponentHost host(window);
    host.setInterfaceScale(1.5);
    EXPECT_DOUBLE_EQ(host.layoutScale(), dpi * 1.5);
    host.setShrinkRule(appRule);
    EXPECT_DOUBLE_EQ(host.layoutScale(), dpi * 1.5 * 0.75) << "the window's size counts in unscaled pixels";
    host.setInterfaceScale(5);
    EXPECT_DOUBLE_EQ(host.layoutScale(), dpi * 2 * 0.75) << "the user's scale is clamped before the shrink";
}

} // namespace
