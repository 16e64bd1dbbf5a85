// The gallery's component tree. Left: the start-screen arrangement; right: the paragraph in two
// weights, the non-Latin line, the icon masks and the bitmap font.
#include "tools/gallery/GalleryScreen.h"

#include "gui/ConfirmationPanel.h"
#include "gui/Dimension.h"
#include "gui/Label.h"
#include "gui/StyledButton.h"
#include "gui/TextObject.h"
#include "gui/TextObjectFactory.h"
#include "gui/envelopes/BackgroundEnvelope.h"
#include "gui/envelopes/Disableable.h"
#include "gui/envelopes/FixedSizeEnvelope.h"
#include "gui/envelopes/FixedWidthEnvelope.h"
#include "gui/envelopes/app/CenteredComponent.h"
#include "gui/envelopes/app/PaddedEnvelope.h"
#include "gui/envelopes/app/ScaledEnvelope.h"
#include "gui/layouts/HorizontalLayout.h"
#include "gui/layouts/IslandLayouts.h"
#include "gui/layouts/ModalLayer.h"
#include "gui/layouts/VerticalLayout.h"

#include <algorithm>
#include <cmath>

using namespace orvex;
using namespace orvex::gui;

namespace {

ColorSet colors(Color<float> text, Color<float> background)
{
    ColorSet set;
    set.color = text;
    set.backgroundColor = background;
    return set;
}

constexpr Color<float> PAGE { 0.0625f, 0.0625f, 0.0625f, 1 };

// Every icon of the mask atlas: the sixteen mask types in a row, and again with the ACTIVE bit,
// which selects the second icon of the two-state masks.
class IconStrip final : public Component {
public:
    explicit IconStrip(const Renderer::StyleObject* iconStyle) { style = iconStyle; }

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int) override
    {
        cell = std::max(1.0, std::floor(2 * scale)) * 16;
        size = { std::min(maximum.x, std::max(minimum.x, 16 * (cell + 4))), std::min(maximum.y, std::max(minimum.y, 2 * (cell + 4))) };
        return size;
    }

    Response draw(Renderer& renderer) override
    {
        for (int row = 0; row < 2; ++row) {
            Renderer::StateScope active(renderer, row == 1 ? uint32_t(Renderer::ACTIVE) : 0u, Renderer::ACTIVE);
            for (int type = 0; type < 16; ++type) {
                const double x = type * (cell + 4), y = row * (cell + 4);
                renderer.drawRasterMask({ x, y, x + cell, y + cell * 15 / 16 }, type, style);
            }
        }
        return HANDLED;
    }

private:
    double cell = 32;
    Vector2 size;
};

// The font texture as uploaded (one channel, shown in red), which also shows the glyphs of the
// codes that text cannot draw (a tab and a line feed move the pen instead).
class FontSheet final : public Component {
public:
    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int) override
    {
        side = std::max(1.0, std::floor(scale)) * 128;
        return { std::min(maximum.x, std::max(minimum.x, side)), std::min(maximum.y, std::max(minimum.y, side)) };
    }

    Response draw(Renderer& renderer) override
    {
        auto* gl = dynamic_cast<BasicGLRenderer*>(&renderer);
        if (!gl)
            return 0;
        renderer.drawTexture({ 0, 0, side, side }, gl->fontTexture());
        return HANDLED;
    }

private:
    double side = 128;
};

// The 128 codes of the built-in font as text, 16 to a line; the two codes that move the pen
// (tab and line feed) are shown as a blank.
std::u32string bitmapFontText()
{
    std::u32string text;
    for (char32_t code = 0; code < 128; ++code) {
        text.push_back(code == 9 || code == 10 ? U' ' : code);
        if (code % 16 == 15 && code != 127)
            text.push_back(U'\n');
    }
    return text;
}

UniquePtr<Component> padded(double left, double top, double right, double bottom, UniquePtr<Component> content)
{
    return makeUnique<::PaddedEnvelope>(Dimension { 0, left }, Dimension { 0, top }, Dimension { 0, right }, Dimension { 0, bottom },
                                        std::move(content));
}

} // namespace

class GalleryScreen::Action final : public Callee<void> {
public:
    Action(const ActionLog& log, std::string text) : log(log), text(std::move(text)) {}
    Callee* clone() const override { return new Action(log, text); }
    void call() override { log(text); }

private:
    const ActionLog& log;
    std::string text;
};

const char32_t* GalleryScreen::paragraph()
{
    return U"A disk fills up one file at a time, and the chart shows where the bytes went: every directory is "
           U"as wide as everything below it, so the largest ones stand out at a glance. Resize the window and "
           U"this paragraph wraps again at the new width.";
}

const BasicGLRenderer::StyleObject* GalleryScreen::style(const ColorSet& set)
{
    styles.push_back(makeUnique<BasicGLRenderer::StyleObject>(set));
    return styles.back().get();
}

UniquePtr<Component> GalleryScreen::makeButton(TextObjectFactory& factory, const char32_t* text, Component** button)
{
    auto styled = makeUnique<StyledButton>(factory, text, StyledButton::Styles { buttonBackground, buttonLabel });
    styled->addAction(makeUnique<Action>(log, toUtf8(text)));
    if (button)
        *button = styled.get();
    return styled;
}

GalleryScreen::GalleryScreen(TextObjectFactory& factory, ActionLog actionLog) : log(std::move(actionLog)), factory(&factory)
{
    auto fromLook = [&](const StyledButton::Look& look) {
        styles.push_back(StyledButton::makeStyle<BasicGLRenderer::StyleObject>(look));
        return styles.back().get();
    };
    buttonBackground = fromLook(StyledButton::backgroundLook());
    buttonLabel = fromLook(StyledButton::labelLook());
    const auto* primary = style(colors({ 1, 1, 1, 1 }, PAGE));
    const auto* secondary = style(colors({ 0.75f, 0.75f, 0.75f, 1 }, PAGE));
    const auto* title = style(colors({ 0.75f, 0.625f, 0.75f, 1 }, PAGE));
    const auto* icons = style(colors({ 0.85f, 0.85f, 0.6f, 1 }, { 0, 0, 0, 0 }));

    auto text = [&](double height, bool bold, const char32_t* content, const Renderer::StyleObject* look, Label::Alignment alignment) {
        return makeUnique<Label>(content, UniquePtr<TextObject>(factory.create(height, bold)), look, alignment);
    };

    // The start screen's arrangement; the chart's title label stands in as large text.
    auto row = makeUnique<HorizontalLayout>();
    row->add(makeButton(factory, U"HOMEPAGE")).add(makeUnique<FixedWidthEnvelope>(Dimension { 0, 10 })).add(makeButton(factory, U"SUPPORT THIS PROJECT"));
    auto disabled = makeUnique<Disableable>(makeButton(factory, U"DISABLED"));
    disabled->setDisabled(true);
    auto column = makeUnique<VerticalLayout>();
    column->add(makeUnique<FixedSizeEnvelope>(std::pair { Dimension { 0, 480 }, Dimension { 0, 120 } },
                                              text(72, true, U"Velbrin", title, { 1, 1 })))
        .add(text(20, false, U"Preview Version 0.2.0 by Dremmon", primary, { 1, 0 }))
        .add(padded(0, 12, 0, 12, text(16, false, U"Please check the HOMEPAGE for an official release.", secondary, { 1, 0 })))
        .add(makeUnique<CenteredComponent>(makeUnique<ScaledEnvelope>(0.75, std::move(row))))
        .add(padded(0, 16, 0, 0, makeUnique<CenteredComponent>(std::move(disabled))));
    auto select = makeUnique<Disableable>(makeButton(factory, U"SELECT DIRECTORY", &selectButton));
    auto startScreen = makeUnique<CenteredComponent>(
        padded(0, 0, 0, 64, makeUnique<BottomIslandLayout>(padded(0, 0, 0, 64, std::move(column)),
                                                           makeUnique<CenteredComponent>(makeUnique<ScaledEnvelope>(1.25, std::move(select))))));

    // The right-hand column: text in two weights that wraps, other scripts, icons, the bitmap font.
    auto fontRow = makeUnique<HorizontalLayout>();
    fontRow->add(makeUnique<Label>(bitmapFontText(), nullptr, primary, Label::Alignment { 0, 0 }))
        .add(padded(16, 0, 0, 0, makeUnique<FontSheet>()));
    auto samples = makeUnique<VerticalLayout>();
    samples->add(padded(0, 0, 0, 12, text(16, false, paragraph(), primary, { 0, 0 })))
        .add(padded(0, 0, 0, 12, text(16, true, paragraph(), primary, { 0, 0 })))
        .add(padded(0, 0, 0, 12, text(20, false, U"Ελληνικά · Кириллица · Français · 日本語 · 한국어", secondary, { 0, 0 })))
        .add(padded(0, 0, 0, 12, makeUnique<IconStrip>(icons)))
        .add(std::move(fontRow));

    auto page = makeUnique<HorizontalLayout>();
    page->add(makeUnique<FixedWidthEnvelope>(Dimension { 0, 560 }, std::move(startScreen)))
        .add(padded(24, 24, 24, 24, std::move(samples)));
    // The window clears to the page colour, so the page needs no background of its own.
    auto modal = makeUnique<ModalLayer>(std::move(page));
    layer = modal.get();
    rootComponent = std::move(modal);
}

Response GalleryScreen::showConfirmation()
{
    constexpr Color<float> PANEL { 0.15f, 0.15f, 0.15f, 1 };
    ConfirmationPanel::Looks looks;
    looks.buttons = { buttonBackground, buttonLabel };
    looks.frame = style(colors({ 0.5f, 0.5f, 0.5f, 1 }, PANEL));
    looks.background = style(colors(PANEL, PANEL));
    looks.title = style(colors({ 1, 1, 1, 1 }, PANEL));
    looks.text = style(colors({ 0.8f, 0.8f, 0.8f, 1 }, PANEL));
    looks.focusRing = style(colors({ 0.55f, 0.7f, 1, 1 }, PANEL));
    layer->shade = style(colors({ 0, 0, 0, 0.5f }, { 0, 0, 0, 0 }));
    std::string path = "/home/user/Videos";
    for (int i = 0; path.size() < 600; ++i)
        path += "/a_folder_whose_name_goes_on_and_on_" + std::to_string(i);
    ConfirmationPanel::Text text { "Move this folder to the trash?",
                                   { path, "4.2 GB (4,509,715,660 bytes)", "12,345 files and 678 folders" },
                                   "CANCEL",
                                   "MOVE TO TRASH" };
    const auto finish = [this](const char* what) {
        return [this, what] {
            log(what);
            layer->dismiss();
        };
    };
    auto panel = makeUnique<ConfirmationPanel>(*factory, text, looks, finish("CANCEL"), finish("MOVE TO TRASH"));
    Component* initial = panel->cancelButton();
    return layer->show(std::move(panel), initial, finish("ESCAPE"), selectButton);
}

GalleryScreen::~GalleryScreen() = default;
