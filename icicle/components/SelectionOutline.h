// SelectionOutline: the frame drawn around the selected cell, over the chart, with the GUI
// renderer's rectangles: a light band between two dark hairlines, so it shows on every palette
// colour and on the chart's dark background alike. Main thread.
#pragma once

#include "gui/Geometry.h"
#include "gui/Renderer.h"

struct SelectionOutline {
    const orvex::gui::Renderer::StyleObject* light = nullptr; // null: the renderer's default colour (white)
    const orvex::gui::Renderer::StyleObject* dark = nullptr;  // null: no dark hairlines

    // Frames `cell` (component units) inside `bounds`: edges beyond the bounds are pulled in to
    // just outside them, so a cell wider than the screen costs no huge rectangles and its open
    // sides stay out of view. `scale` is the interface scale (the band is 2 units wide).
    void draw(orvex::gui::Renderer& renderer, orvex::gui::Rect cell, orvex::gui::Rect bounds, double scale) const;
};
