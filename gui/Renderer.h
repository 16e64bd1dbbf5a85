// Renderer: what components draw through. A handful of primitives (filled rectangle, text object,
// caret, icon from the built-in mask atlas, texture), a current offset and clip rectangle that
// containers push and restore, a depth layer, and state bits (pressed, hover, disabled, active)
// that select colours from style objects, plus one that tells a component it holds the keyboard
// focus. All rectangles and positions are in the frame of the
// component being drawn; the renderer adds the current offset. Window thread only.
#pragma once

#include "engine/core/Math.h"
#include "gui/Geometry.h"

#include <cstdint>
#include <vector>

namespace orvex {
class Texture2D;
}

namespace orvex::gui {

class TextObject;

using Color4 = orvex::Color<float>;

// The colours one look of a component uses.
struct ColorSet {
    Color4 color { 1, 1, 1, 1 };           // fill colour of rectangles and masks, text colour
    Color4 backgroundColor { 0, 0, 0, 0 }; // the opaque background text is rasterised onto
    Color4 selectionColor { 0, 0, 1, 1 };  // background of selected text
    Color4 selectedTextColor { 1, 1, 1, 1 };
    bool hasSelectedTextColor = false;     // otherwise selected text uses `color`
};

class Renderer {
public:
    enum StateBit : uint32_t {
        ACTIVE = 0x01,   // the alternative icon of two-state masks
        PRESSED = 0x02,
        HOVER = 0x08,
        DISABLED = 0x10,
        // The component being drawn lies on the keyboard focus path: whoever draws the root sets
        // it (ComponentHost::draw), and each layout keeps it only for its focused child.
        FOCUSED = 0x20,
    };

    // A style: a base colour set and variants selected by state bits.
    class StyleObject {
    public:
        virtual ~StyleObject() = default;
    };

    // Saves `state`, sets the bits of `mask` to those of `value`, and restores the saved state
    // when it ends (also when an exception passes).
    class StateScope {
    public:
        StateScope(Renderer& renderer, uint32_t value, uint32_t mask) : renderer(renderer), saved(renderer.state)
        {
            renderer.state = (value & mask) | (renderer.state & ~mask);
        }
        ~StateScope() { renderer.state = saved; }
        StateScope(const StateScope&) = delete;
        StateScope& operator=(const StateScope&) = delete;

    private:
        Renderer& renderer;
        uint32_t saved;
    };

    uint32_t state = 0;

    virtual ~Renderer() = default;
    virtual void drawText(Vector2 position, TextObject* text, const StyleObject* style) = 0;
    virtual void drawCaret(Vector2 position, TextObject* text, int64_t index, double maxX, const StyleObject* style) = 0;
    virtual void fillRectangle(const Rect& rect, int kind, const StyleObject* style) = 0;
    virtual void drawRasterMask(const Rect& rect, int maskType, const StyleObject* style) = 0;
    virtual void drawTexture(const Rect& rect, orvex::Texture2D* texture) = 0;
    // Adds `offset` to the current offset and writes the previous one back into it.
    virtual void pushOffset(Vector2& offset) = 0;
    virtual void restoreOffset(Vector2 offset) = 0;
    // Intersects the clip with `clip` and writes the previous clip (Rect::unbounded() when there
    // was none) back into it.
    virtual void pushClip(Rect& clip) = 0;
    virtual void restoreClip(const Rect& clip) = 0;
    virtual void adjustDepth(int delta) = 0;

    // The blend mode every draw uses (1: source-alpha blending); the foreground envelope swaps it.
    int blendMode = 1;
};

// Restores the renderer's offset when it ends (also on exception).
class OffsetScope {
public:
    OffsetScope(Renderer& renderer, Vector2 offset) : renderer(renderer), saved(offset) { renderer.pushOffset(saved); }
    ~OffsetScope() { renderer.restoreOffset(saved); }
    OffsetScope(const OffsetScope&) = delete;
    OffsetScope& operator=(const OffsetScope&) = delete;

private:
    Renderer& renderer;
    Vector2 saved;
};

// Restores the renderer's clip when it ends (also on exception).
class ClipScope {
public:
    ClipScope(Renderer& renderer, Rect clip) : renderer(renderer), saved(clip) { renderer.pushClip(saved); }
    ~ClipScope() { renderer.restoreClip(saved); }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    Renderer& renderer;
    Rect saved;
};

} // namespace orvex::gui
