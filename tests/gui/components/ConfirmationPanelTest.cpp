// ConfirmationPanel and ElidedLabel: the keys that cancel or confirm through a window and a
// ModalLayer, the middle elision of long lines, and a panel that stays inside a small window
// whatever its text.
#include "ComponentTestSupport.h"

#include "gui/ComponentHost.h"
#include "gui/ConfirmationPanel.h"
#include "gui/ElidedLabel.h"
#include "gui/TextObjectFactory.h"
#include "gui/layouts/ModalLayer.h"

#include "engine/window/KeyCodes.h"
#include "engine/window/Window.h"

#include <cmath>
#include <gtest/gtest.h>

namespace guitest {
namespace {

// Text in cells of 8 x 16 pixels at scale 1, wrapped at any code point where the line is full.
class MonospaceText final : public TextObject, public TextObject::Layout {
public:
    void setText(std::u32string_view value) override { text = value; }
    void setAlignment(int, int) override {}
    void setWrapWidth(double width) override { wrapWidth = width; }
    void setScale(double value) override { scale = value; }
    int64_t setSelection(TextRange& range) override { return range.start; }
    Rect bounds() const override
    {
        return { 0, 0, double(std::min(int64_t(text.size()), perLine())) * 8 * scale, double(lineCount()) * 16 * scale };
    }
    const TextObject::Layout& layout() const override { return *this; }
    void draw(Renderer&, const orvex::Matrix<float, 4, 4>&, const ColorSet&) override {}
    int64_t lineCount() const override { return std::max<int64_t>(1, (int64_t(text.size()) + perLine() - 1) / perLine()); }
    TextRange lineRange(int64_t line) const override
    {
        return { std::min(int64_t(text.size()), line * perLine()), std::min(int64_t(text.size()), (line + 1) * perLine()) };
    }
    int64_t lineOf(int64_t index) const override { return index / perLine(); }
    double xOf(int64_t) const override { return 0; }
    Rect caretRect(int64_t) const override { return {}; }
    int64_t indexInLine(int64_t, double) const override { return 0; }
    int64_t indexAt(Vector2) const override { return 0; }

    std::u32string text;

private:
    int64_t perLine() const { return wrapWidth > 0 ? std::max<int64_t>(1, int64_t(wrapWidth / (8 * scale))) : INT64_MAX / 2; }
    double wrapWidth = 0;
    double scale = 1;
};

class MonospaceFactory final : public TextObjectFactory {
public:
    TextObject* create(double, bool) override { return new MonospaceText(); }
};

struct ElisionRow {
    const char* name;
    size_t length;
    double width;
    int maxLines;
    size_t shownLength; // code points shown, the ellipsis included
};

class ElidedLabelTest : public ::testing::TestWithParam<ElisionRow> {};

TEST_P(ElidedLabelTest, KeepsStartAndEndWithinTheLineLimit)
{
    const ElisionRow& row = GetParam();
    std::u32string text;
    for (size_t i = 0; i < row.length; ++i)
        text += char32_t(U'a' + i % 26);
    ElidedLabel label(text, makeUnique<MonospaceText>(), nullptr, row.maxLines);
    static_cast<Component&>(label).layout({ 0, 0 }, { row.width, 1000 }, 1.0);
    EXPECT_EQ(label.shown.size(), row.shownLength);
    EXPECT_EQ(static_cast<MonospaceText&>(*label.textObject).text, label.shown);
    if (row.shownLength < row.length) {
        const size_t tail = (row.shownLength - 1) / 2;
        EXPECT_EQ(label.shown.substr(0, row.shownLength - 1 - tail), text.substr(0, row.shownLength - 1 - tail));
        EXPECT_EQ(label.shown[row.shownLength - 1 - tail], U'\u2026');
        EXPECT_EQ(label.shown.substr(row.shownLength - tail), text.substr(text.size() - tail));
    }
    EXPECT_EQ(label.text, text) << "the whole text is kept for the next layout";
}

INSTANTIATE_TEST_SUITE_P(Rows, ElidedLabelTest,
                         ::testing::Values(ElisionRow { "FitsUnchanged", 25, 80, 3, 25 },
                                           ElisionRow { "ExactlyFull", 30, 80, 3, 30 },
                                           ElisionRow { "OneOver", 31, 80, 3, 30 },
                                           ElisionRow { "LongPath", 2000, 80, 3, 30 },
                                           ElisionRow { "OneLine", 2000, 80, 1, 10 },
                                           ElisionRow { "NoLimit", 2000, 80, 0, 2000 }),
                         [](const auto& info) { return std::string(info.param.name); });

// A window of `size` whose root is a ModalLayer over a probe, with a confirmation shown whose
// actions record which ran and dismiss, as the program's will.
class ConfirmationScreen {
public:
    explicit ConfirmationScreen(Vector2 size, std::vector<std::string> lines = { "/home/user/film.mkv", "4.2 GB" })
    {
        window.setSize(int(size.x), int(size.y));
        layer.shade = &shade;
        host.setRoot(&layer);
        host.relayout();
        ConfirmationPanel::Looks looks;
        looks.focusRing = &ring;
        auto made = makeUnique<ConfirmationPanel>(
            factory, ConfirmationPanel::Text { "Move to Trash?", std::move(lines), "CANCEL", "MOVE TO TRASH" }, looks,
            [this] { finish("cancel"); }, [this] { finish("confirm"); });
        panel = made.get();
        host.handle(layer.show(std::move(made), panel->cancelButton(), [this] { finish("cancel"); }));
    }
    void press(int code, int modifiers)
    {
        host.keyPressed(key(code, modifiers));
        host.keyReleased(key(code, modifiers));
    }

    Renderer::StyleObject shade, ring;
    MonospaceFactory factory;
    orvex::Window window;
    ComponentHost host { window };
    ModalLayer layer { makeUnique<Probe>(Vector2 { 2000, 2000 }) };
    ConfirmationPanel* panel = nullptr;
    std::string outcome;

private:
    void finish(const char* what)
    {
        outcome += what;
        host.handle(layer.dismiss());
    }
};

struct KeysRow {
    const char* name;
    std::vector<std::pair<int, int>> keys; // (key, modifiers)
    const char* outcome;
};

class ConfirmationKeysTest : public ::testing::TestWithParam<KeysRow> {};

TEST_P(ConfirmationKeysTest, KeysCancelOrConfirm)
{
    ConfirmationScreen screen({ 800, 600 });
    for (const auto& [code, modifiers] : GetParam().keys)
        screen.press(code, modifiers);
    EXPECT_EQ(screen.outcome, GetParam().outcome);
    EXPECT_EQ(screen.layer.isShown(), screen.outcome.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConfirmationKeysTest,
    ::testing::Values(KeysRow { "EnterCancels", { { orvex::KEY_ENTER, 0 } }, "cancel" },
                      KeysRow { "SpaceCancels", { { orvex::KEY_SPACE, 0 } }, "cancel" },
                      KeysRow { "EscapeCancels", { { orvex::KEY_ESCAPE, 0 } }, "cancel" },
                      KeysRow { "TabEnterConfirms", { { orvex::KEY_TAB, 0 }, { orvex::KEY_ENTER, 0 } }, "confirm" },
                      KeysRow { "ShiftTabWrapsToConfirm", { { orvex::KEY_TAB, orvex::MOD_LEFT_SHIFT }, { orvex::KEY_ENTER, 0 } }, "confirm" },
                      KeysRow { "TabTabWrapsToCancel", { { orvex::KEY_TAB, 0 }, { orvex::KEY_TAB, 0 }, { orvex::KEY_ENTER, 0 } }, "cancel" },
                      KeysRow { "OtherKeysDoNothing", { { orvex::KEY_DOWN, 0 }, { orvex::KEY_A, 0 } }, "" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfirmationPanelTest, StaysInsideASmallWindowWithAVeryLongPath)
{
    std::string path = "/home/user/";
    while (path.size() < 2000)
        path += "a_folder_name_without_spaces_";
    ConfirmationScreen screen({ 300, 200 }, { path, "4.2 GB (4,509,715,660 bytes)", "12,345 files, 678 folders" });
    const Rect layerArea { 0, 0, 300, 200 };
    const Rect panel = screen.layer.children[1].rect;
    EXPECT_EQ(panel.intersect(layerArea), panel);

    RecordingRenderer renderer;
    screen.host.draw(renderer);
    int texts = 0;
    for (const RecordingRenderer::Call& call : renderer.calls) {
        if (call.style == &screen.shade)
            continue;
        const Rect drawn = call.rect.offset(call.offset).intersect(call.clip);
        if (call.op == "text") {
            ++texts;
            EXPECT_TRUE(layerArea.containsStrictly(drawn.topLeft())) << drawn.left << "," << drawn.top;
        } else if (!drawn.empty()) {
            EXPECT_EQ(drawn.intersect(layerArea), drawn) << drawn.left << "," << drawn.top << " " << drawn.right << "," << drawn.bottom;
        }
    }
    EXPECT_EQ(texts, 6) << "the title, three lines and both buttons' labels are drawn";
    // The focus ring is drawn around the cancel button, which is focused.
    EXPECT_TRUE(std::any_of(renderer.calls.begin(), renderer.calls.end(), [&](const auto& c) { return c.style == &screen.ring; }));
    screen.press(orvex::KEY_ENTER, 0);
    EXPECT_EQ(screen.outcome, "cancel");
}

} // namespace
} // namespace guitest
