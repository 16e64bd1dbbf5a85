// Buttons and labels: clicks by mouse and keys, cancelling, the pressed look, the styled button's
// stack and looks, label sizing, alignment and configuration.
#include "ComponentTestSupport.h"

#include "gui/Button.h"
#include "gui/Label.h"
#include "gui/StyledButton.h"
#include "gui/TextObjectFactory.h"
#include "gui/envelopes/MouseOverComponent.h"

#include "engine/window/KeyCodes.h"

#include <gtest/gtest.h>

namespace guitest {
namespace {

// Logs every pressChanged (action) and counts the callee's runs.
class LoggingButton : public Button {
public:
    explicit LoggingButton(UniquePtr<Component> content = nullptr) : Button(std::move(content))
    {
        addAction(makeUnique<orvex::MemberFunctionCallee<LoggingButton, void>>(this, &LoggingButton::clicked));
    }
    Response pressChanged(int action, int modifiers) override
    {
        actionsSeen.push_back(action);
        return Button::pressChanged(action, modifiers);
    }
    void clicked() { ++clicks; }

    std::vector<int> actionsSeen;
    int clicks = 0;
};

TEST(ButtonTest, LeftPressAndReleaseClicks)
{
    LoggingButton b;
    ClickSequence clicks;
    EXPECT_EQ(b.mousePress(button(1, 5, 5), clicks), HANDLED | TAKE_FOCUS | REDRAW);
    EXPECT_EQ(b.mouseRelease(button(1, 5, 5)), HANDLED | TAKE_FOCUS | REDRAW);
    EXPECT_EQ(b.clicks, 1);
    EXPECT_EQ(b.actionsSeen, (std::vector<int> { 0, 2 }));
    EXPECT_EQ(b.state, Button::IDLE);
}

TEST(ButtonTest, LeavingWhilePressedCancels)
{
    LoggingButton b;
    ClickSequence clicks;
    b.mousePress(button(1, 5, 5), clicks);
    EXPECT_EQ(b.mouseLeave(), HANDLED | REDRAW);
    EXPECT_EQ(b.mouseRelease(button(1, 5, 5)), 0u);
    EXPECT_EQ(b.clicks, 0);
    EXPECT_EQ(b.actionsSeen, (std::vector<int> { 0, 1 }));
}

struct KeyRow {
    const char* name;
    std::vector<std::pair<bool, int>> keys; // (pressed, key code) in order
    int clicks;
};

class ButtonKeyTest : public ::testing::TestWithParam<KeyRow> {};

TEST_P(ButtonKeyTest, ClickNeedsPressAndReleaseOfTheSameKey)
{
    LoggingButton b;
    for (const auto& [pressed, code] : GetParam().keys)
        pressed ? b.keyPress(key(code)) : b.keyRelease(key(code));
    EXPECT_EQ(b.clicks, GetParam().clicks);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ButtonKeyTest,
    ::testing::Values(KeyRow { "Space", { { true, orvex::KEY_SPACE }, { false, orvex::KEY_SPACE } }, 1 },
                      KeyRow { "Enter", { { true, orvex::KEY_ENTER }, { false, orvex::KEY_ENTER } }, 1 },
                      KeyRow { "KeypadEnter", { { true, orvex::KEY_KEYPAD_ENTER }, { false, orvex::KEY_KEYPAD_ENTER } }, 1 },
                      KeyRow { "AutoRepeat", { { true, orvex::KEY_SPACE }, { true, orvex::KEY_SPACE }, { false, orvex::KEY_SPACE } }, 1 },
                      KeyRow { "OtherKey", { { true, orvex::KEY_A }, { false, orvex::KEY_A } }, 0 },
                      KeyRow { "EnterReplacesSpace",
                               { { true, orvex::KEY_SPACE }, { true, orvex::KEY_ENTER }, { false, orvex::KEY_SPACE } }, 0 },
                      KeyRow { "EnterReplacesSpaceThenClicks",
                               { { true, orvex::KEY_SPACE }, { true, orvex::KEY_ENTER }, { false, orvex::KEY_SPACE },
                                 { false, orvex::KEY_ENTER } },
                               1 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ButtonTest, LosingFocusWithAKeyHeldCancels)
{
    LoggingButton b;
    b.keyPress(key(orvex::KEY_SPACE));
    EXPECT_EQ(b.loseFocus(), HANDLED | REDRAW);
    b.keyRelease(key(orvex::KEY_SPACE));
    EXPECT_EQ(b.clicks, 0);
    EXPECT_EQ(b.actionsSeen, (std::vector<int> { 0, 1 }));
}

TEST(ButtonTest, PressedLookOnlyWithRedrawFeedback)
{
    Probe* probe = nullptr;
    LoggingButton b(make(probe));
    ClickSequence clicks;
    RecordingRenderer renderer;
    b.mousePress(button(1, 5, 5), clicks);
    b.draw(renderer);
    EXPECT_EQ(renderer.calls.back().state, uint32_t(Renderer::PRESSED));
    b.feedback = HANDLED;
    renderer.state = Renderer::PRESSED;
    b.mouseRelease(button(1, 5, 5));
    b.draw(renderer);
    EXPECT_EQ(renderer.calls.back().state, uint32_t(Renderer::PRESSED)); // left as it was
}

TEST(ButtonTest, ContentKeepsTheButtonsItCaptured)
{
    Probe* probe = nullptr;
    LoggingButton b(make(probe));
    ClickSequence clicks;
    probe->answers = { { "press", HANDLED | TAKE_FOCUS }, { "pressOutside", HANDLED } };
    b.mousePress(button(1, 5, 5), clicks);
    EXPECT_TRUE(b.contentFocused);
    b.mouseRelease(button(1, 5, 5));

    // A press elsewhere that the focused content captures: its release must reach the content.
    EXPECT_EQ(b.mousePressOutside(button(1, 90, 5), clicks), HANDLED);
    b.mouseRelease(button(1, 90, 5));
    EXPECT_EQ(probe->events.back(), "release 1 90,5");
    EXPECT_EQ(b.clicks, 0);
}

class FakeFactory : public TextObjectFactory {
public:
    TextObject* create(double height, bool bold) override
    {
        requests.emplace_back(height, bold);
        return new FakeTextObject({ 0, 0, 120, 20 });
    }
    std::vector<std::pair<double, bool>> requests;
};

class Tag : public Renderer::StyleObject {};

TEST(StyledButtonTest, StackPlacesACentredBoldLabel)
{
    FakeFactory factory;
    Tag fill, text;
    StyledButton b(factory, U"SELECT DIRECTORY", { &fill, &text });
    EXPECT_EQ(factory.requests, (std::vector<std::pair<double, bool>> { { 20, true } }));
    EXPECT_EQ(static_cast<Component&>(b).layout({ 0, 0 }, { 1000, 1000 }, 1.0), (Vector2 { 180, 28 }));

    b.mouseMove(moveTo(5, 5), true);
    RecordingRenderer renderer;
    b.draw(renderer);
    ASSERT_EQ(renderer.calls.size(), 2u);
    EXPECT_EQ(renderer.calls[0].style, &fill);
    EXPECT_EQ(renderer.calls[0].rect, (Rect { 0, 0, 180, 28 }));
    EXPECT_EQ(renderer.calls[0].state, uint32_t(Renderer::HOVER));
    EXPECT_EQ(renderer.calls[1].op, "text");
    EXPECT_EQ(renderer.calls[1].style, &text);
    EXPECT_EQ(renderer.calls[1].offset, (Vector2 { 16, 4 }));
    EXPECT_EQ(renderer.calls[1].rect.left, (148 - 120) / 2.0);
    EXPECT_EQ(renderer.calls[1].clip, (Rect { 0, 0, 180, 28 }));
}

TEST(StyledButtonTest, RightPressIsIgnoredAndTabThenEnterClicks)
{
    FakeFactory factory;
    StyledButton b(factory, U"OK", {});
    int clicked = 0;
    struct Count : orvex::Callee<void> {
        int* target;
        explicit Count(int* t) : target(t) {}
        Count* clone() const override { return new Count(target); }
        void call() override { ++*target; }
    };
    b.addAction(makeUnique<Count>(&clicked));
    ClickSequence clicks;
    EXPECT_EQ(b.mousePress(button(2, 5, 5), clicks), 0u);
    EXPECT_EQ(b.state, Button::IDLE);

    EXPECT_EQ(b.focusTraverse(2), HANDLED | TAKE_FOCUS);
    b.keyPress(key(orvex::KEY_ENTER));
    b.keyRelease(key(orvex::KEY_ENTER));
    EXPECT_EQ(clicked, 1);
}

// The first variant whose bits are all set in the state, else the base set.
ColorSet resolve(const StyledButton::Look& look, uint32_t state)
{
    for (const auto& variant : look.variants) {
        if ((variant.stateMask & state) == variant.stateMask)
            return variant.colors;
    }
    return look.base;
}

TEST(StyledButtonTest, LabelBackgroundMatchesTheFillInEveryState)
{
    const StyledButton::Look fill = StyledButton::backgroundLook();
    const StyledButton::Look label = StyledButton::labelLook();
    for (uint32_t state = 0; state < 0x20; ++state)
        EXPECT_EQ(resolve(label, state).backgroundColor, resolve(fill, state).color) << state;
    EXPECT_EQ(resolve(fill, 0x1A).color, (Color4 { 0.1875f, 0.1875f, 0.1875f, 1 }));
    EXPECT_EQ(resolve(fill, Renderer::PRESSED | Renderer::HOVER).color, (Color4 { 0.625f, 0.625f, 0.625f, 1 }));
    EXPECT_EQ(resolve(label, Renderer::DISABLED).color, (Color4 { 0.125f, 0.125f, 0.125f, 1 }));
}

TEST(LabelTest, EmptyBoundsGiveMinimumAndNoDrawing)
{
    Label label(U"", makeUnique<FakeTextObject>(), nullptr, {});
    EXPECT_EQ(static_cast<Component&>(label).layout({ 0, 0 }, { 100, 100 }, 1.0), (Vector2 { 0, 0 }));
    RecordingRenderer renderer;
    EXPECT_EQ(label.draw(renderer), 0u);
    EXPECT_TRUE(renderer.calls.empty());
}

struct AlignmentRow {
    Label::Alignment alignment;
    Vector2 origin;
};

TEST(LabelTest, AlignsTextInsideItsBox)
{
    // Bounds (0, 0)-(120, 20) in a 200 x 40 box; bounds (10, -15)-(130, 5) check the offsets.
    const std::vector<std::pair<Rect, std::vector<AlignmentRow>>> cases {
        { { 0, 0, 120, 20 }, { { { 1, 0 }, { 40, 0 } }, { { 0, 0 }, { 0, 0 } }, { { 2, 2 }, { 80, 20 } } } },
        { { 10, -15, 130, 5 }, { { { 0, 0 }, { -10, 15 } }, { { 1, 1 }, { 30, 25 } }, { { 2, 2 }, { 70, 35 } } } },
    };
    for (const auto& [bounds, rows] : cases) {
        for (const AlignmentRow& row : rows) {
            FakeTextObject* object = nullptr;
            Label label(U"text", UniquePtr<TextObject>(object = new FakeTextObject(bounds)), nullptr, row.alignment);
            EXPECT_EQ(object->alignment, (std::pair<int, int> { row.alignment.horizontal, row.alignment.vertical }));
            EXPECT_EQ(static_cast<Component&>(label).layout({ 200, 40 }, { 200, 40 }, 1.5), (Vector2 { 200, 40 }));
            EXPECT_EQ(object->scale, 1.5);
            RecordingRenderer renderer;
            EXPECT_EQ(label.draw(renderer), HANDLED);
            EXPECT_EQ((Vector2 { renderer.calls[0].rect.left, renderer.calls[0].rect.top }), row.origin)
                << row.alignment.horizontal << "," << row.alignment.vertical;
        }
    }
}

class SwappingConfigurator : public Component::Configurator {
public:
    const Renderer::StyleObject* configureStyle(Component*, const Renderer::StyleObject* current) override { return current; }
    TextObject* configureText(Component*, TextObject* current) override { return replacement ? replacement : current; }
    TextObject* replacement = nullptr;
};

TEST(LabelTest, ConfigureAdoptsANewTextObjectAndDeletesTheOld)
{
    int live = 0;
    Label label(U"hello", UniquePtr<TextObject>(new FakeTextObject({ 0, 0, 50, 10 }, &live)), nullptr, { 2, 0 });
    static_cast<Component&>(label).layout({ 0, 0 }, { 80, 30 }, 1.0);
    SwappingConfigurator configurator;
    label.configure(configurator);
    EXPECT_EQ(live, 1);

    auto* fresh = new FakeTextObject({ 0, 0, 30, 10 }, &live);
    configurator.replacement = fresh;
    label.configure(configurator);
    EXPECT_EQ(live, 1);
    EXPECT_EQ(label.textObject.get(), fresh);
    EXPECT_EQ(fresh->text, U"hello");
    EXPECT_EQ(fresh->wrapWidth, 50);
    EXPECT_EQ(fresh->alignment, (std::pair<int, int> { 2, 0 }));
    EXPECT_EQ(label.textOrigin, (Vector2 { 20, 0 }));
}

} // namespace
} // namespace guitest
