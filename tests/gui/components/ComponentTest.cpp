// The component model's base rules: the empty envelope, setContent, and click sequences.
#include "ComponentTestSupport.h"

#include "engine/core/Clock.h"
#include "engine/window/KeyCodes.h"

#include <gtest/gtest.h>

namespace guitest {
namespace {

TEST(EnvelopePrototypeTest, WithoutContentLaysOutToMinimumAndAnswersNothing)
{
    EnvelopePrototype envelope;
    Component& component = envelope;
    ClickSequence clicks;
    RecordingRenderer renderer;
    EXPECT_EQ(component.layout({ 3, 4 }, { 100, 100 }, 1.0), (Vector2 { 3, 4 }));
    EXPECT_EQ(envelope.mousePress(button(1, 1, 1), clicks) | envelope.keyPress(key(orvex::KEY_SPACE))
                  | envelope.focusTraverse(2) | envelope.resetInput() | envelope.draw(renderer) | envelope.mouseLeave(),
              0u);
    EXPECT_EQ(envelope.focus(nullptr), 0u);
}

TEST(EnvelopePrototypeTest, SetContentWithOwnContentKeepsIt)
{
    Probe* probe = nullptr;
    EnvelopePrototype envelope(make(probe));
    EXPECT_EQ(envelope.setContent(std::move(envelope.content)), nullptr);
    EXPECT_EQ(envelope.content.get(), probe);

    UniquePtr<Component> previous = envelope.setContent(makeUnique<Probe>());
    EXPECT_EQ(previous.get(), probe);
}

// Presses as the window makes them: beforePress, the root's mousePress (which may read the
// count), afterPress. `secondsSinceLast` puts the previous press that far in the past.
struct Press {
    int button;
    double secondsSinceLast;
    bool read;
};

struct ClickRow {
    const char* name;
    std::vector<Press> presses;
    std::vector<int> counts; // the count each press sees
};

class ClickSequenceTest : public ::testing::TestWithParam<ClickRow> {};

TEST_P(ClickSequenceTest, CountsConsecutiveReadPresses)
{
    ClickSequence clicks;
    std::vector<int> seen;
    for (const Press& press : GetParam().presses) {
        const int64_t back = int64_t(press.secondsSinceLast * double(orvex::tickFrequency()));
        clicks.lastPressTime = orvex::TimePoint(orvex::TimePoint::now().ticks() - back);
        clicks.beforePress(press.button);
        seen.push_back(press.read ? clicks.clickCount() : clicks.count);
        clicks.afterPress(press.button);
    }
    EXPECT_EQ(seen, GetParam().counts);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClickSequenceTest,
    ::testing::Values(ClickRow { "DoubleClick", { { 1, 0, true }, { 1, 0.3, true } }, { 1, 2 } },
                      ClickRow { "TripleClick", { { 1, 0, true }, { 1, 0.3, true }, { 1, 0.3, true } }, { 1, 2, 3 } },
                      ClickRow { "UnreadFirstPress", { { 1, 0, false }, { 1, 0.3, true } }, { 1, 1 } },
                      ClickRow { "RightPressBetween", { { 1, 0, true }, { 2, 0.1, true }, { 1, 0.1, true } }, { 1, 1, 1 } },
                      ClickRow { "TooSlow", { { 1, 0, true }, { 1, 0.6, true } }, { 1, 1 } }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace guitest
