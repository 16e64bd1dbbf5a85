// Envelopes: sizes, relayout absorption, placement, look, hover, disabling and inset routing.
#include "ComponentTestSupport.h"

#include "gui/envelopes/BackgroundEnvelope.h"
#include "gui/envelopes/ClippedEnvelope.h"
#include "gui/envelopes/Disableable.h"
#include "gui/envelopes/FixedSizeEnvelope.h"
#include "gui/envelopes/FixedWidthEnvelope.h"
#include "gui/envelopes/MinWidthEnvelope.h"
#include "gui/envelopes/MouseOverComponent.h"
#include "gui/envelopes/PaddedEnvelope.h"
#include "gui/envelopes/app/CenteredComponent.h"
#include "gui/envelopes/app/ForegroundEnvelope.h"
#include "gui/envelopes/app/IntegerSizeEnvelope.h"
#include "gui/envelopes/app/OverlaidComponents.h"
#include "gui/envelopes/app/PaddedEnvelope.h"
#include "gui/envelopes/app/ProportionalSizeEnvelope.h"

#include "engine/window/KeyCodes.h"

#include <functional>
#include <gtest/gtest.h>

namespace guitest {
namespace {

class TestStyle : public Renderer::StyleObject {};

Vector2 layOut(Component& component, Vector2 minimum, Vector2 maximum, double scale = 1.0, int final = 1)
{
    return component.layout(minimum, maximum, scale, final);
}

TEST(FixedSizeEnvelopeTest, CutToWhatTheParentOffers)
{
    Probe* probe = nullptr;
    FixedSizeEnvelope envelope({ { 100, 0 }, { 40, 0 } }, make(probe));
    EXPECT_EQ(layOut(envelope, { 0, 0 }, { 80, 200 }), (Vector2 { 80, 40 }));
    ASSERT_EQ(probe->layouts.size(), 1u);
    EXPECT_EQ(probe->layouts[0].minimum, (Vector2 { 80, 40 }));
    EXPECT_EQ(probe->layouts[0].maximum, (Vector2 { 80, 40 }));
}

// A relayout request from the content (its answer to a key press), what the envelope passes on,
// and how often it laid its content out again in place.
struct RelayoutRow {
    const char* name;
    std::function<UniquePtr<RelayoutableEnvelope>(UniquePtr<Component>)> make;
    Vector2 minimum, maximum;
    Response request, passedOn;
    size_t relayouts;
};

class RelayoutFilterTest : public ::testing::TestWithParam<RelayoutRow> {};

TEST_P(RelayoutFilterTest, AbsorbsWhatItsSizeCannotReflect)
{
    const RelayoutRow& row = GetParam();
    Probe* probe = nullptr;
    UniquePtr<RelayoutableEnvelope> envelope = row.make(make(probe, Vector2 { 10, 10 }));
    const Vector2 size = layOut(*envelope, row.minimum, row.maximum, 2.0);
    probe->answers["key"] = row.request | HANDLED;
    probe->layouts.clear();

    EXPECT_EQ(envelope->keyPress(key(orvex::KEY_A)), row.passedOn | HANDLED);
    ASSERT_EQ(probe->layouts.size(), row.relayouts);
    for (const Probe::LayoutCall& call : probe->layouts) {
        EXPECT_EQ(call.minimum, size);
        EXPECT_EQ(call.maximum, size);
        EXPECT_EQ(call.scale, 2.0);
        EXPECT_EQ(call.final, 1);
    }
}

const Response BOTH = RELAYOUT_WIDTH | RELAYOUT_HEIGHT;

UniquePtr<RelayoutableEnvelope> plain(UniquePtr<Component> c) { return makeUnique<RelayoutableEnvelope>(std::move(c)); }
UniquePtr<RelayoutableEnvelope> fixedSize(UniquePtr<Component> c)
{
    return makeUnique<FixedSizeEnvelope>(std::pair<Dimension, Dimension> { { 0, 50 }, { 0, 30 } }, std::move(c));
}
UniquePtr<RelayoutableEnvelope> fixedWidth(UniquePtr<Component> c) { return makeUnique<FixedWidthEnvelope>(Dimension { 0, 25 }, std::move(c)); }
UniquePtr<RelayoutableEnvelope> minWidth(UniquePtr<Component> c) { return makeUnique<MinWidthEnvelope>(Dimension { 0, 25 }, std::move(c)); }

INSTANTIATE_TEST_SUITE_P(
    Rows, RelayoutFilterTest,
    ::testing::Values(RelayoutRow { "TightAbsorbsBoth", plain, { 40, 40 }, { 40, 40 }, BOTH, 0, 1 },
                      RelayoutRow { "LooseAbsorbsNothing", plain, { 0, 0 }, { 40, 40 }, BOTH, BOTH, 0 },
                      RelayoutRow { "FixedSizeAbsorbsWhenLoose", fixedSize, { 0, 0 }, { 400, 400 }, RELAYOUT_HEIGHT, 0, 1 },
                      RelayoutRow { "FixedWidthPassesHeightOnly", fixedWidth, { 0, 0 }, { 400, 400 }, BOTH, RELAYOUT_HEIGHT, 0 },
                      RelayoutRow { "FixedWidthAbsorbsWidth", fixedWidth, { 0, 0 }, { 400, 400 }, RELAYOUT_WIDTH, 0, 1 },
                      RelayoutRow { "FixedWidthTight", fixedWidth, { 50, 40 }, { 50, 40 }, BOTH, 0, 1 },
                      RelayoutRow { "MinWidthBaseRuleOnly", minWidth, { 0, 0 }, { 400, 400 }, RELAYOUT_WIDTH, RELAYOUT_WIDTH, 0 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CenteredComponentTest, PlacesContentOnWholePixels)
{
    Probe* probe = nullptr;
    CenteredComponent centered(make(probe, Vector2 { 50, 20 }));
    EXPECT_EQ(layOut(centered, { 101, 41 }, { 300, 300 }), (Vector2 { 101, 41 }));
    EXPECT_EQ(centered.childRect, (Rect { 25, 10, 75, 30 }));

    RecordingRenderer renderer;
    centered.draw(renderer);
    ASSERT_EQ(renderer.calls.size(), 1u);
    EXPECT_EQ(renderer.calls[0].offset, (Vector2 { 25, 10 }));
    EXPECT_EQ(renderer.offset, (Vector2 {}));
}

TEST(PaddedEnvelopeTest, ApplicationVariantRoundsMarginsAfterScaling)
{
    const Dimension side { 0, 16 }, edge { 0, 4 };
    Probe* framework = nullptr;
    Probe* application = nullptr;
    orvex::gui::PaddedEnvelope exact(side, edge, side, edge, make(framework, Vector2 { 100, 20 }));
    ::PaddedEnvelope rounded(side, edge, side, edge, make(application, Vector2 { 100, 20 }));

    // At scale 1.125 the vertical margins are 4.5: the application rounds them away from zero.
    EXPECT_EQ(layOut(exact, { 0, 0 }, { 500, 500 }, 1.125), (Vector2 { 136, 29 }));
    EXPECT_EQ(exact.childRect, (Rect { 18, 4.5, 118, 24.5 }));
    EXPECT_EQ(layOut(rounded, { 200, 0 }, { 500, 500 }, 1.125), (Vector2 { 200, 30 }));
    EXPECT_EQ(rounded.childRect, (Rect { 18, 5, 182, 25 }));
    EXPECT_EQ(application->layouts.back().minimum, (Vector2 { 164, -10 }));
}

TEST(ProportionalSizeEnvelopeTest, ContentGetsItsShareAndIsAligned)
{
    Probe* probe = nullptr;
    ProportionalSizeEnvelope envelope({ 10, 0.5 }, { 0, 0.5 }, { 0.5, 1 }, make(probe, Vector2 { 60, 30 }));
    EXPECT_EQ(layOut(envelope, { 0, 0 }, { 200, 100 }), (Vector2 { 110, 60 }));
    EXPECT_EQ(probe->layouts[0].maximum, (Vector2 { 105, 50 }));
    EXPECT_EQ(envelope.childRect, (Rect { 25, 30, 85, 60 }));
}

TEST(IntegerSizeEnvelopeTest, RelaysContentAtTheFlooredSizeOnlyWhenFinal)
{
    Probe* probe = nullptr;
    IntegerSizeEnvelope envelope(make(probe, Vector2 { 10.6, 5.2 }));
    EXPECT_EQ(layOut(envelope, { 0.5, 0.5 }, { 100.9, 50.5 }, 1.0, 0), (Vector2 { 10, 5 }));
    ASSERT_EQ(probe->layouts.size(), 1u);
    EXPECT_EQ(probe->layouts[0].maximum, (Vector2 { 100, 50 }));

    EXPECT_EQ(layOut(envelope, { 0.5, 0.5 }, { 100.9, 50.5 }), (Vector2 { 10, 5 }));
    ASSERT_EQ(probe->layouts.size(), 3u);
    EXPECT_EQ(probe->layouts[2].minimum, (Vector2 { 10, 5 }));
    EXPECT_EQ(probe->layouts[2].maximum, (Vector2 { 10, 5 }));
}

TEST(OverlaidComponentsTest, BackTakesContentSizeAndDrawsFirst)
{
    Probe* back = nullptr;
    Probe* front = nullptr;
    TestStyle backStyle, frontStyle;
    OverlaidComponents overlaid(make(back, Vector2 { 5, 5 }), make(front, Vector2 { 70, 30 }));
    back->style = &backStyle;
    front->style = &frontStyle;
    layOut(overlaid, { 0, 0 }, { 100, 100 });
    EXPECT_EQ(back->size, (Vector2 { 70, 30 }));

    RecordingRenderer renderer;
    overlaid.draw(renderer);
    ASSERT_EQ(renderer.calls.size(), 2u);
    EXPECT_EQ(renderer.calls[0].style, &backStyle);
    EXPECT_EQ(renderer.calls[1].style, &frontStyle);

    ClickSequence clicks;
    overlaid.mousePress(button(1, 3, 3), clicks);
    EXPECT_TRUE(back->events.empty());
    EXPECT_EQ(front->events.size(), 1u);
}

TEST(LookEnvelopesTest, BackgroundUnderClippedContentUnderForeground)
{
    TestStyle fill, overlay, content;
    Probe* probe = nullptr;
    BackgroundEnvelope background(&fill, makeUnique<ClippedEnvelope>(makeUnique<ForegroundEnvelope>(&overlay, 7, make(probe, Vector2 { 500, 30 }))));
    probe->style = &content;
    layOut(background, { 0, 0 }, { 60, 40 });

    RecordingRenderer renderer;
    Vector2 at { 10, 20 };
    renderer.pushOffset(at);
    EXPECT_EQ(background.draw(renderer), HANDLED);
    ASSERT_EQ(renderer.calls.size(), 3u);
    const Rect clip { 10, 20, 70, 50 };
    EXPECT_EQ(renderer.calls[0].style, &fill);
    EXPECT_EQ(renderer.calls[0].clip, Rect::unbounded());
    EXPECT_EQ(renderer.calls[0].rect, (Rect { 0, 0, 60, 30 }));
    EXPECT_EQ(renderer.calls[1].style, &content);
    EXPECT_EQ(renderer.calls[1].clip, clip);
    EXPECT_EQ(renderer.calls[1].blendMode, 1);
    EXPECT_EQ(renderer.calls[2].style, &overlay);
    EXPECT_EQ(renderer.calls[2].blendMode, 7);
    EXPECT_EQ(renderer.calls[2].clip, clip);
    EXPECT_EQ(renderer.blendMode, 1);
    EXPECT_EQ(renderer.clip, Rect::unbounded());
}

TEST(DisableableTest, DisabledContentGetsNoInputOrFocusAndLooksDisabled)
{
    Probe* probe = nullptr;
    Disableable outer(makeUnique<Disableable>(make(probe)));
    Disableable& inner = static_cast<Disableable&>(*outer.content);
    probe->answers = { { "traverse", HANDLED }, { "key", HANDLED } };

    outer.setDisabled(true);
    outer.setDisabled(true);
    EXPECT_EQ(probe->events, (std::vector<std::string> { "reset" }));

    ClickSequence clicks;
    EXPECT_EQ(outer.focusTraverse(2) | outer.keyPress(key(orvex::KEY_A)) | outer.mousePress(button(1, 1, 1), clicks)
                  | outer.focus(probe) | outer.mouseLeave(),
              0u);
    EXPECT_EQ(probe->events.size(), 1u);

    // An enabled envelope inside a disabled one must not clear the bit; other bits stay.
    RecordingRenderer renderer;
    renderer.state = Renderer::HOVER;
    outer.draw(renderer);
    EXPECT_EQ(renderer.calls.back().state, uint32_t(Renderer::HOVER | Renderer::DISABLED));
    EXPECT_EQ(renderer.state, uint32_t(Renderer::HOVER));

    outer.setDisabled(false);
    inner.setDisabled(false);
    EXPECT_EQ(outer.focusTraverse(2), HANDLED);
    outer.draw(renderer);
    EXPECT_EQ(renderer.calls.back().state, uint32_t(Renderer::HOVER));
}

TEST(MouseOverComponentTest, AnswersEnterAndLeaveOnce)
{
    Probe* probe = nullptr;
    MouseOverComponent over(make(probe));
    const Response changed = HANDLED | REDRAW;
    EXPECT_EQ(over.mouseMove(moveTo(1, 1), true), changed);
    EXPECT_EQ(over.mouseMove(moveTo(2, 1), true), 0u);
    RecordingRenderer renderer;
    over.draw(renderer);
    EXPECT_EQ(renderer.calls.back().state, uint32_t(Renderer::HOVER));
    EXPECT_EQ(over.mouseLeave(), changed);
    EXPECT_EQ(over.mouseLeave(), 0u);
    EXPECT_EQ(over.mouseMove(moveTo(2, 1), false), 0u);
    EXPECT_EQ(over.mouseMove(moveTo(2, 1), true), changed);
    EXPECT_EQ(over.resetInput(), changed);
    EXPECT_EQ(over.resetInput(), 0u);
}

class InsetRoutingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        envelope = makeUnique<orvex::gui::PaddedEnvelope>(Dimension { 10, 0 }, Dimension { 10, 0 }, Dimension { 10, 0 },
                                                         Dimension { 10, 0 }, make(probe, Vector2 { 20, 20 }));
        layOut(*envelope, { 0, 0 }, { 100, 100 });
    }
    Probe* probe = nullptr;
    UniquePtr<orvex::gui::PaddedEnvelope> envelope;
    ClickSequence clicks;
};

TEST_F(InsetRoutingTest, LeavingTheContentSendsLeaveBeforeTheMove)
{
    envelope->mouseMove(moveTo(15, 15), true);
    envelope->mouseMove(moveTo(35, 15), true);
    envelope->mouseMove(moveTo(36, 15), true);
    EXPECT_EQ(probe->events, (std::vector<std::string> { "move 5,5", "leave", "moveAway 25,5", "moveAway 26,5" }));
}

TEST_F(InsetRoutingTest, ReleaseFollowsThePressOutsideTheContent)
{
    envelope->mousePress(button(1, 15, 15), clicks);
    envelope->mouseRelease(button(1, 50, 50));
    EXPECT_EQ(envelope->capturedButtons, 0u);
    envelope->mouseRelease(button(1, 50, 50));
    EXPECT_EQ(probe->events, (std::vector<std::string> { "press 1 5,5", "release 1 40,40" }));
}

TEST_F(InsetRoutingTest, PressOutsideCapturesOnlyWhenHandled)
{
    probe->answers["pressOutside"] = TAKE_FOCUS;
    EXPECT_EQ(envelope->mousePress(button(1, 5, 5), clicks), 0u);
    EXPECT_EQ(envelope->capturedButtons, 0u);
    probe->answers["pressOutside"] = HANDLED;
    envelope->mousePress(button(2, 5, 5), clicks);
    EXPECT_EQ(envelope->capturedButtons, 1u << 2);
    envelope->mouseRelease(button(2, 5, 5));
    EXPECT_EQ(probe->events.back(), "release 2 -5,-5");
    EXPECT_EQ(envelope->resetInput(), HANDLED);
}

} // namespace
} // namespace guitest
