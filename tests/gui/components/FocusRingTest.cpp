// The keyboard focus made visible: the renderer's FOCUSED bit follows the focus path from the host
// down through the layouts, and a StyledButton with a ring style wears its ring only while it is
// the focused, enabled element.
#include "ComponentTestSupport.h"

#include "engine/window/KeyCodes.h"
#include "engine/window/Window.h"
#include "gui/ComponentHost.h"
#include "gui/StyledButton.h"
#include "gui/TextObjectFactory.h"
#include "gui/envelopes/Disableable.h"
#include "gui/envelopes/app/OverlaidComponents.h"
#include "gui/layouts/HorizontalLayout.h"

#include <gtest/gtest.h>

#include <functional>

namespace guitest {
namespace {

class FakeFactory : public TextObjectFactory {
public:
    TextObject* create(double, bool) override { return new FakeTextObject({ 0, 0, 120, 20 }); }
};

class Tag : public Renderer::StyleObject {};

// A row of [button in a Disableable][probe], or the same row as the back of an overlay whose front
// is another probe. The button is 180 x 28 at scale 1.
struct Screen {
    FakeFactory factory;
    Tag fill, text, ring;
    Disableable* disableable = nullptr;
    StyledButton* button = nullptr;
    Probe* probe = nullptr;
    UniquePtr<Component> root;

    explicit Screen(bool asOverlayBack = false)
    {
        auto styled = makeUnique<StyledButton>(factory, U"CHANGE DIRECTORY", StyledButton::Styles { &fill, &text, &ring });
        button = styled.get();
        auto wrapped = makeUnique<Disableable>(std::move(styled));
        disableable = wrapped.get();
        auto side = makeUnique<Probe>(Vector2 { 50, 28 });
        probe = side.get();
        probe->answers["focusTraverse"] = HANDLED | TAKE_FOCUS;
        auto row = makeUnique<HorizontalLayout>();
        row->add(std::move(wrapped)).add(std::move(side));
        if (asOverlayBack)
            root = makeUnique<OverlaidComponents>(std::move(row), makeUnique<Probe>(Vector2 { 230, 28 }));
        else
            root = std::move(row);
    }
    // The ring fills drawn with the root on the focus path, as the host draws it.
    std::vector<Rect> ringsDrawn(double scale)
    {
        root->layout({ 0, 0 }, { 1000, 1000 }, scale);
        RecordingRenderer renderer;
        renderer.state = Renderer::FOCUSED;
        root->draw(renderer);
        std::vector<Rect> rings;
        for (const RecordingRenderer::Call& call : renderer.calls)
            if (call.style == &ring)
                rings.push_back(call.rect.offset(call.offset));
        return rings;
    }
};

TEST(FocusRingTest, OnlyTheFocusedEnabledButtonWearsTheRing)
{
    const Rect ringAtScale1 { -2, -2, 182, 30 };
    struct Row {
        const char* name;
        std::function<void(Screen&)> setUp;
        double scale;
        bool overlayBack;
        std::vector<Rect> rings;
    } rows[] = {
        { "focused by a call", [](Screen& s) { s.root->focus(s.button); }, 1, false, { ringAtScale1 } },
        { "focused by Tab", [](Screen& s) { s.root->focusTraverse(2); }, 1, false, { ringAtScale1 } },
        { "twice as wide at scale 2", [](Screen& s) { s.root->focus(s.button); }, 2, false, { { -4, -4, 364, 40 } } },
        { "never thinner than a pixel", [](Screen& s) { s.root->focus(s.button); }, 0.2, false, { { -1, -1, 127, 29 } } },
        { "nothing focused", [](Screen&) {}, 1, false, {} },
        { "the neighbour focused", [](Screen& s) { s.root->focus(s.probe); }, 1, false, {} },
        { "Tab moved on to the neighbour", [](Screen& s) { s.root->focusTraverse(2); s.root->focusTraverse(0); }, 1, false, {} },
        { "disabled while focused", [](Screen& s) { s.root->focus(s.button); s.disableable->setDisabled(true); }, 1, false, {} },
        // The back of an overlay never gets input; a focus index left in it must not show.
        { "in an overlay's back", [](Screen& s) { static_cast<Layout*>(static_cast<OverlaidComponents&>(*s.root).back.get())->focused = 0; },
          1, true, {} },
    };
    for (const Row& row : rows) {
        Screen screen(row.overlayBack);
        row.setUp(screen);
        const std::vector<Rect> rings = screen.ringsDrawn(row.scale);
        ASSERT_EQ(rings.size(), row.rings.size()) << row.name;
        for (size_t i = 0; i < rings.size(); ++i)
            EXPECT_EQ(rings[i], row.rings[i]) << row.name;
    }
}

// The ring goes under the button: drawn first, so only its border shows.
TEST(FocusRingTest, RingIsDrawnBeforeTheButtonsBackground)
{
    Screen screen;
    screen.root->focus(screen.button);
    screen.root->layout({ 0, 0 }, { 1000, 1000 }, 1.0);
    RecordingRenderer renderer;
    renderer.state = Renderer::FOCUSED;
    screen.root->draw(renderer);
    ASSERT_GE(renderer.calls.size(), 2u);
    EXPECT_EQ(renderer.calls[0].style, &screen.ring);
    EXPECT_EQ(renderer.calls[1].style, &screen.fill);
}

// Nested layouts: a focus index left behind in a layout that is not on the focus path shows nothing.
TEST(FocusRingTest, OnlyTheLayoutOnTheFocusPathPassesTheFocusOn)
{
    Screen left, right;
    HorizontalLayout outer;
    outer.add(std::move(left.root)).add(std::move(right.root));
    outer.focus(right.button);
    static_cast<Layout*>(outer.childComponent(0))->focused = 0; // stale
    outer.layout({ 0, 0 }, { 1000, 1000 }, 1.0, 1);
    RecordingRenderer renderer;
    renderer.state = Renderer::FOCUSED;
    outer.draw(renderer);
    int leftRings = 0, rightRings = 0;
    for (const RecordingRenderer::Call& call : renderer.calls) {
        leftRings += call.style == &left.ring;
        rightRings += call.style == &right.ring;
    }
    EXPECT_EQ(leftRings, 0);
    EXPECT_EQ(rightRings, 1);
}

// The host starts the focus path at the root, and a focus change by Tab or by a click elsewhere
// asks for the repaint that shows or hides the ring.
TEST(FocusRingTest, HostDrawsTheRingAndFocusChangesRepaint)
{
    Screen screen;
    orvex::Window window;
    ComponentHost host(window);
    host.setRoot(screen.root.get());
    host.relayout();
    EXPECT_TRUE(screen.root->focusTraverse(2) & REDRAW) << "Tab onto the button";
    RecordingRenderer renderer;
    host.draw(renderer);
    ASSERT_FALSE(renderer.calls.empty());
    EXPECT_EQ(renderer.calls[0].style, &screen.ring);
    EXPECT_EQ(renderer.state, 0u) << "the host restores the renderer's state";

    EXPECT_TRUE(screen.root->focusTraverse(0) & REDRAW) << "Tab away from the button";
    screen.root->focus(screen.button);
    EXPECT_TRUE(screen.root->focus(screen.probe) & REDRAW) << "the focus taken elsewhere";
}

} // namespace
} // namespace guitest
