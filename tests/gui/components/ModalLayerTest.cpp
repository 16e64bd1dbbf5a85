// ModalLayer: a shown panel keeps the pointer, the keys and the focus from the content, Tab cycles
// inside it through the window's own handling, Escape cancels, a panel closed by its own button
// survives the click, and the panel is centred on whole pixels within the layer.
#include "ComponentTestSupport.h"

#include "gui/Button.h"
#include "gui/ComponentHost.h"
#include "gui/layouts/HorizontalLayout.h"
#include "gui/layouts/ModalLayer.h"
#include "gui/layouts/VerticalLayout.h"

#include "engine/window/KeyCodes.h"
#include "engine/window/Window.h"

#include <functional>
#include <gtest/gtest.h>

namespace guitest {
namespace {

// Logs like a Probe and runs `open` inside its presses and key releases, as a component that
// opens a panel would.
class ContentProbe : public Probe {
public:
    using Probe::Probe;
    Response mousePress(const orvex::MouseButtonEvent& e, ClickSequence& clicks) override { return run(Probe::mousePress(e, clicks)); }
    Response keyRelease(const orvex::KeyEvent& e) override { return run(Probe::keyRelease(e)); }
    std::function<void()> open;

private:
    Response run(Response answer)
    {
        if (open)
            open();
        return answer;
    }
};

// A window (never made native) whose root is a column: a button outside the layer, then the
// layer over a content row of a button and a logging probe. The panel is a row of three buttons.
class ModalScreen : public ::testing::Test {
protected:
    ModalScreen()
    {
        root.add(make(outside, makeUnique<Probe>(Vector2 { 100, 20 })));
        auto content = makeUnique<HorizontalLayout>();
        content->add(make(contentButton, makeUnique<Probe>(Vector2 { 50, 20 })));
        content->add(make(probe, Vector2 { 200, 300 }));
        probe->answers = { { "gainFocus", HANDLED | TAKE_FOCUS }, { "key", HANDLED }, { "press", HANDLED | TAKE_FOCUS } };
        root.add(make(layer, std::move(content)));
        window.setSize(400, 320);
        host.setRoot(&root);
        host.relayout();
    }

    // Shows the three-button panel; `cancel` runs on Escape. Shown from outside any event, the
    // window's focus path must then be pointed at the panel from the root.
    void showPanel(std::function<void()> cancel = {}, bool focusFromRoot = true)
    {
        auto row = makeUnique<HorizontalLayout>();
        for (Button*& b : panelButtons)
            row->add(make(b, makeUnique<Probe>(Vector2 { 40, 20 })));
        panelRow = row.get();
        host.handle(layer->show(std::move(row), panelButtons[0], std::move(cancel), contentButton));
        if (focusFromRoot)
            host.handle(root.focus(panelButtons[0]));
    }
    void press(int code, int modifiers = 0)
    {
        host.keyPressed(key(code, modifiers));
        host.keyReleased(key(code, modifiers));
    }
    bool logged(const std::string& prefix) const
    {
        return std::any_of(probe->events.begin(), probe->events.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    }
    // The panel's rectangle in the window's frame.
    Rect panelRect() const { return layer->children[1].rect.offset(root.children[1].rect.topLeft()); }

    orvex::Window window;
    ComponentHost host { window };
    VerticalLayout root;
    Button* outside = nullptr;
    ModalLayer* layer = nullptr;
    Button* contentButton = nullptr;
    ContentProbe* probe = nullptr;
    Layout* panelRow = nullptr;
    Button* panelButtons[3] {};
};

struct ContentEventRow {
    const char* name;
    std::function<void(ComponentHost&)> send; // at the probe, which sits at (50..250, 20..320) in the window
    const char* reaches;                       // what the probe logs when no panel is shown
};

class ModalLayerContentTest : public ModalScreen, public ::testing::WithParamInterface<ContentEventRow> {};

TEST_P(ModalLayerContentTest, ContentGetsNothingWhilePanelIsShown)
{
    host.handle(root.focus(probe));
    GetParam().send(host);
    ASSERT_TRUE(logged(GetParam().reaches));

    host.mouseMoved(moveTo(240, 300)); // hovered: showing must make the hover leave
    showPanel();
    EXPECT_TRUE(logged("leave"));
    probe->events.clear();
    GetParam().send(host);
    host.mouseMoved(moveTo(240, 300));
    EXPECT_TRUE(probe->events.empty()) << probe->events.front();

    host.handle(layer->dismiss());
    host.handle(root.focus(probe));
    GetParam().send(host);
    EXPECT_TRUE(logged(GetParam().reaches)) << "the content must get input again once the panel is gone";
}

INSTANTIATE_TEST_SUITE_P(
    Events, ModalLayerContentTest,
    ::testing::Values(ContentEventRow { "Press",
                                        [](ComponentHost& h) {
                                            h.mouseButtonPressed(button(1, 240, 300));
                                            h.mouseButtonReleased(button(1, 240, 300));
                                        },
                                        "press" },
                      ContentEventRow { "Wheel", [](ComponentHost& h) { h.mouseWheel({ 1, 0, 240, 300 }); }, "wheel" },
                      ContentEventRow { "Key", [](ComponentHost& h) { h.keyPressed(key(orvex::KEY_SPACE)); }, "key" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModalScreen, TabEntersThePanelAndCyclesInsideItOnly)
{
    showPanel();
    host.handle(root.focus(outside)); // the focus left the layer, as a click outside it would take it
    host.handle(root.focus(probe));   // and the content may not take it
    ASSERT_EQ(root.focused, 0);
    std::vector<int64_t> seen;
    for (int i = 0; i < 5; ++i) {
        press(orvex::KEY_TAB); // the outside button does not take Tab: the window traverses first
        seen.push_back(panelRow->focused);
    }
    for (int i = 0; i < 4; ++i) {
        press(orvex::KEY_TAB, orvex::MOD_LEFT_SHIFT);
        seen.push_back(panelRow->focused);
    }
    EXPECT_EQ(seen, (std::vector<int64_t> { 0, 1, 2, 0, 1, 0, 2, 1, 0 }));
    EXPECT_EQ(root.focused, 1) << "the focus left the layer";
    EXPECT_FALSE(logged("gainFocus"));
}

TEST_F(ModalScreen, EscapeRunsCancelAndFocusReturnsToTheContent)
{
    int cancels = 0;
    showPanel([&] {
        ++cancels;
        layer->dismiss();
    });
    press(orvex::KEY_ESCAPE);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(layer->isShown());
    EXPECT_EQ(root.focused, 1);
    EXPECT_EQ(layer->focused, 0) << "the focus belongs to the content's button again";
    press(orvex::KEY_ESCAPE);
    EXPECT_EQ(cancels, 1) << "the cancel action went with the panel";
}

// The probe opens the panel inside its own press or key release and then takes the focus back
// inside the content, as a menu does when it refocuses what it was opened on while closing.
class ModalLayerOpenedByContentTest : public ModalScreen, public ::testing::WithParamInterface<bool> {};

TEST_P(ModalLayerOpenedByContentTest, PanelKeepsTheFocus)
{
    host.handle(root.focus(probe));
    Layout* content = static_cast<Layout*>(layer->childComponent(0));
    const auto open = [this, content] {
        showPanel({}, false);
        content->focus(probe);
    };
    probe->open = open;
    if (GetParam())
        host.mouseButtonPressed(button(1, 240, 300));
    else
        press(orvex::KEY_A);
    ASSERT_TRUE(layer->isShown());
    EXPECT_EQ(layer->focused, 1);
    EXPECT_EQ(panelRow->focused, 0);
    const auto lastFocusEvent = std::find_if(probe->events.rbegin(), probe->events.rend(),
                                             [](const std::string& e) { return e == "gainFocus" || e == "loseFocus"; });
    ASSERT_NE(lastFocusEvent, probe->events.rend());
    EXPECT_EQ(*lastFocusEvent, "loseFocus");
    press(orvex::KEY_TAB);
    EXPECT_EQ(panelRow->focused, 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, ModalLayerOpenedByContentTest, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "Press" : "KeyRelease"); });

// The panel's own button dismisses it from inside its click; the button's call must finish on a
// live object (the ASan build catches a use after free) and the focus must end in the content.
struct DismissRow {
    const char* name;
    bool byMouse;
};

class ModalLayerDismissTest : public ModalScreen, public ::testing::WithParamInterface<DismissRow> {
public:
    void dismissing()
    {
        ++dismissCalls;
        host.handle(layer->dismiss());
    }
    int dismissCalls = 0;
};

TEST_P(ModalLayerDismissTest, ButtonThatDismissesItsPanel)
{
    showPanel();
    using Action = orvex::MemberFunctionCallee<ModalLayerDismissTest, void>;
    panelButtons[1]->addAction(makeUnique<Action>(this, &ModalLayerDismissTest::dismissing));
    panelButtons[1]->addAction(makeUnique<Action>(this, &ModalLayerDismissTest::dismissing));
    if (GetParam().byMouse) {
        const Rect r = panelRect();
        host.mouseButtonPressed(button(1, r.left + 60, r.top + 10)); // the middle button
        host.mouseButtonReleased(button(1, r.left + 60, r.top + 10));
    } else {
        press(orvex::KEY_TAB);
        press(orvex::KEY_ENTER);
    }
    EXPECT_EQ(dismissCalls, 2) << "every action of the click runs, the second after the panel is gone";
    EXPECT_FALSE(layer->isShown());
    EXPECT_EQ(layer->focused, 0);
    EXPECT_EQ(layer->captured, -1);
    RecordingRenderer renderer;
    host.draw(renderer); // frees the dismissed panel
    host.mouseMoved(moveTo(240, 300));
    EXPECT_TRUE(logged("move"));
}

INSTANTIATE_TEST_SUITE_P(Ways, ModalLayerDismissTest, ::testing::Values(DismissRow { "Mouse", true }, DismissRow { "Enter", false }),
                         [](const auto& info) { return std::string(info.param.name); });

struct PlacementRow {
    const char* name;
    Vector2 layerSize, panelSize;
    Rect expected;
};

class ModalLayerPlacementTest : public ::testing::TestWithParam<PlacementRow> {};

TEST_P(ModalLayerPlacementTest, PanelIsCentredOnWholePixelsWithinTheLayer)
{
    const PlacementRow& row = GetParam();
    ModalLayer layer(makeUnique<Probe>(row.layerSize));
    static_cast<Component&>(layer).layout({ 0, 0 }, row.layerSize, 1.0);
    layer.show(makeUnique<Probe>(row.panelSize), nullptr, {});
    EXPECT_EQ(layer.children[1].rect, row.expected);
    static_cast<Component&>(layer).layout({ 0, 0 }, row.layerSize, 1.0);
    EXPECT_EQ(layer.children[1].rect, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModalLayerPlacementTest,
    ::testing::Values(PlacementRow { "Small", { 300, 200 }, { 100, 50 }, { 100, 75, 200, 125 } },
                      PlacementRow { "OddRoom", { 301, 201 }, { 100, 50 }, { 100, 75, 200, 125 } },
                      PlacementRow { "FractionalPanel", { 300, 200 }, { 100.5, 50.25 }, { 99, 74, 200, 125 } },
                      PlacementRow { "LargerThanLayer", { 300, 200 }, { 500, 400 }, { 0, 0, 300, 200 } }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace guitest
