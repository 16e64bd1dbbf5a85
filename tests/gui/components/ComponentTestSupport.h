// Test doubles for the component tests: a renderer that records every primitive with the offset,
// clip and state in force at the time, a text object with settable bounds, and a probe component
// that logs the events it receives and answers what a test tells it to.
#pragma once

#include "gui/Component.h"
#include "gui/TextObject.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace guitest {

using namespace orvex::gui;
using orvex::makeUnique;
using orvex::UniquePtr;

class RecordingRenderer : public Renderer {
public:
    struct Call {
        std::string op;  // "fill" or "text"
        Rect rect;       // the rectangle (or, for text, the position in left/top) in the caller's frame
        Vector2 offset;
        Rect clip;       // Rect::unbounded() while clipping is off
        uint32_t state;
        int blendMode;
        const StyleObject* style;
    };

    void drawText(Vector2 position, TextObject*, const StyleObject* style) override
    {
        record("text", { position.x, position.y, position.x, position.y }, style);
    }
    void drawCaret(Vector2, TextObject*, int64_t, double, const StyleObject*) override {}
    void fillRectangle(const Rect& rect, int, const StyleObject* style) override { record("fill", rect, style); }
    void drawRasterMask(const Rect&, int, const StyleObject*) override {}
    void drawTexture(const Rect&, orvex::Texture2D*) override {}
    void pushOffset(Vector2& by) override
    {
        const Vector2 previous = offset;
        offset = offset + by;
        by = previous;
    }
    void restoreOffset(Vector2 value) override { offset = value; }
    void pushClip(Rect& rect) override
    {
        const Rect previous = clip;
        clip = rect.offset(offset).intersect(clip);
        rect = previous;
    }
    void restoreClip(const Rect& rect) override { clip = rect; }
    void adjustDepth(int) override {}

    Vector2 offset;
    Rect clip = Rect::unbounded();
    std::vector<Call> calls;

private:
    void record(const char* op, const Rect& rect, const StyleObject* style)
    {
        calls.push_back({ op, rect, offset, clip, state, blendMode, style });
    }
};

class FakeTextObject : public TextObject {
public:
    class NoLayout : public Layout {
    public:
        int64_t lineCount() const override { return 1; }
        TextRange lineRange(int64_t) const override { return {}; }
        int64_t lineOf(int64_t) const override { return 0; }
        double xOf(int64_t) const override { return 0; }
        Rect caretRect(int64_t) const override { return {}; }
        int64_t indexInLine(int64_t, double) const override { return 0; }
        int64_t indexAt(Vector2) const override { return 0; }
    };

    explicit FakeTextObject(Rect bounds = {}, int* liveCount = nullptr) : textBounds(bounds), live(liveCount)
    {
        if (live)
            ++*live;
    }
    ~FakeTextObject() override
    {
        if (live)
            --*live;
    }

    void setText(std::u32string_view value) override { text = value; }
    void setAlignment(int horizontal, int vertical) override { alignment = { horizontal, vertical }; }
    void setWrapWidth(double width) override { wrapWidth = width; }
    void setScale(double value) override { scale = value; }
    int64_t setSelection(TextRange& range) override { return range.start; }
    Rect bounds() const override { return textBounds; }
    const Layout& layout() const override { return noLayout; }
    void draw(Renderer&, const orvex::Matrix<float, 4, 4>&, const ColorSet&) override {}

    Rect textBounds;
    std::u32string text;
    std::pair<int, int> alignment { -1, -1 };
    double wrapWidth = -1;
    double scale = -1;

private:
    int* live;
    NoLayout noLayout;
};

inline std::string format(const char* pattern, double a, double b)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, pattern, a, b);
    return buffer;
}

// A leaf that takes its natural size within the limits, logs events (positions in its own
// frame) and answers from `answers` (event name -> flags; 0 when absent). It draws one filled
// rectangle of its own size so that draw order and offsets show in the recording renderer.
class Probe : public Component {
public:
    struct LayoutCall {
        Vector2 minimum, maximum;
        double scale;
        int final;
    };

    explicit Probe(Vector2 naturalSize = {}, std::vector<std::string>* sharedLog = nullptr)
        : natural(naturalSize), shared(sharedLog)
    {
    }

    Vector2 layout(Vector2 minimum, Vector2 maximum, double scale, int final) override
    {
        layouts.push_back({ minimum, maximum, scale, final });
        size = { std::min(maximum.x, std::max(minimum.x, natural.x)), std::min(maximum.y, std::max(minimum.y, natural.y)) };
        return size;
    }
    Response draw(Renderer& renderer) override
    {
        renderer.fillRectangle({ 0, 0, size.x, size.y }, 0, style);
        return answer("draw");
    }
    Response gainFocus() override { return log("gainFocus"); }
    Response keyPress(const orvex::KeyEvent& e) override { return log("key " + std::to_string(e.key)); }
    Response keyRelease(const orvex::KeyEvent& e) override { return log("keyUp " + std::to_string(e.key)); }
    Response mousePress(const orvex::MouseButtonEvent& e, ClickSequence&) override
    {
        return log("press " + std::to_string(e.button) + format(" %g,%g", e.x, e.y));
    }
    Response mouseRelease(const orvex::MouseButtonEvent& e) override
    {
        return log("release " + std::to_string(e.button) + format(" %g,%g", e.x, e.y));
    }
    Response mouseWheel(const orvex::MouseWheelEvent& e) override { return log("wheel" + format(" %g,%g", e.x, e.y)); }
    Response mouseMove(const orvex::MouseMoveEvent& e, bool hovered) override
    {
        return log(std::string(hovered ? "move" : "moveAway") + format(" %g,%g", e.x, e.y));
    }
    Response mouseLeave() override { return log("leave"); }
    Response mousePressOutside(const orvex::MouseButtonEvent& e, ClickSequence&) override
    {
        return log("pressOutside " + std::to_string(e.button));
    }
    Response mouseWheelOutside(const orvex::MouseWheelEvent&) override { return log("wheelOutside"); }
    Response mouseMoveOutside(const orvex::MouseMoveEvent&) override { return log("moveOutside"); }
    Response focusTraverse(int direction) override { return log("traverse " + std::to_string(direction)); }
    Response loseFocus() override { return log("loseFocus"); }
    Response resetInput() override { return log("reset"); }

    // The answer to an event, by the first word of its log entry.
    Response answer(const std::string& event) const
    {
        const auto found = answers.find(event);
        return found == answers.end() ? 0 : found->second;
    }

    Vector2 natural;
    Vector2 size;
    std::map<std::string, Response> answers;
    std::vector<std::string> events;
    std::vector<LayoutCall> layouts;
    std::string name;

private:
    Response log(const std::string& entry)
    {
        events.push_back(entry);
        if (shared)
            shared->push_back(name + ": " + entry);
        return answer(entry.substr(0, entry.find(' ')));
    }

    std::vector<std::string>* shared;
};

// Takes ownership into a UniquePtr<Component> and keeps a typed pointer for the test.
template <typename T, typename... Args>
UniquePtr<Component> make(T*& observer, Args&&... args)
{
    UniquePtr<T> object = makeUnique<T>(std::forward<Args>(args)...);
    observer = object.get();
    return object;
}

inline orvex::MouseButtonEvent button(int which, double x, double y) { return { which, 0, 0, x, y }; }
inline orvex::MouseMoveEvent moveTo(double x, double y) { return { x, y, 0, 0, 0 }; }
inline orvex::KeyEvent key(int code, int modifiers = 0) { return { code, code, 0, modifiers }; }

} // namespace guitest
