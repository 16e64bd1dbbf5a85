// ChartSettings: the four user settings the chart reads at every wheel, drag and middle-button
// event. Plain data owned by whoever embeds the chart (the program's settings record extends it),
// so a reload takes effect at the next event.
#pragma once

struct ChartSettings {
    bool smoothScrolling = true;             // a wheel step's zoom is animated
    double scrollSpeedMultiplier = 1.0;      // applied to every wheel step
    double middleMouseSpeedMultiplier = 1.0; // zooming by dragging with the middle button
    double mouseDragInertia = 0.5;           // above 0: drag velocity tracking and inertia
};
