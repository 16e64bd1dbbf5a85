// VisualizationScrollBar: the horizontal bar under the chart. Its thumb shows the visible byte
// range as a share of the whole tree (never narrower than 16 pixels at UI scale 1); dragging the
// thumb, or pressing beside it, tells the listeners the new position of the thumb within its free
// travel (0 at the left end, 1 at the right end). Only the thumb is drawn, with the style given
// (the buttons' background look; the application wraps the bar in a MouseOverComponent so the
// thumb lightens under the pointer). Main thread.
#pragma once

#include "engine/core/Callee.h"
#include "gui/Component.h"

class VisualizationScrollBar : public orvex::gui::Component {
public:
    using PositionListeners = orvex::CalleeList<void, double>;

    // A thumb as fractions of the track.
    struct Thumb {
        double start;
        double end;
        bool operator==(const Thumb&) const = default;
    };

    // `thumbStyle` fills the thumb (not owned; it becomes the component's `style`).
    explicit VisualizationScrollBar(const orvex::gui::Renderer::StyleObject* thumbStyle = nullptr);
    ~VisualizationScrollBar() override;

    // The listeners called with each new scroll position; the chart appends its handler here.
    PositionListeners& positionListeners() { return listeners; }
    // The visible share of the tree, as fractions of the total; the chart calls it after each
    // change of its view. Notifies nobody and asks for no repaint (the chart's answer does).
    void setThumb(double start, double end);
    Thumb thumb() const { return { thumbStart, thumbEnd }; }

    // The thumb as drawn on a bar `width` pixels wide: a share narrower than 16 × scale pixels is
    // widened to that and placed by its position within the free travel.
    static Thumb displayedThumb(Thumb thumb, double width, double scale);
    Thumb displayedThumb() const { return displayedThumb(thumb(), size.x, scale); }

    using orvex::gui::Component::layout;
    orvex::gui::Vector2 layout(orvex::gui::Vector2 minimum, orvex::gui::Vector2 maximum, double scale,
                               int final) override;
    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;
    orvex::gui::Response mousePress(const orvex::MouseButtonEvent& event, orvex::gui::ClickSequence& clicks) override;
    orvex::gui::Response mouseRelease(const orvex::MouseButtonEvent& event) override;
    orvex::gui::Response mouseMove(const orvex::MouseMoveEvent& event, bool hovered) override;
    orvex::gui::Response resetInput() override;

    static constexpr double MIN_THUMB_WIDTH = 16.0; // pixels at UI scale 1

private:
    double thumbStart = 0.0;
    double thumbEnd = 1.0;
    orvex::gui::Vector2 size;
    double scale = 1.0;
    double grabOffset = 0.0; // pointer minus displayed thumb start at the press, as a fraction
    bool dragging = false;
    PositionListeners listeners;
};
