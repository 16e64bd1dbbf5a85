// TopIslandLayoutReverseDrawOrder: a top-island layout that paints the main child first and the
// island over it, for an island that overlaps what the main child draws near its top edge.
#pragma once

#include "gui/layouts/IslandLayouts.h"

class TopIslandLayoutReverseDrawOrder : public orvex::gui::TopIslandLayout {
public:
    using TopIslandLayout::TopIslandLayout;

    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override
    {
        const orvex::gui::Response mainAnswer = drawChild(renderer, 1);
        return mainAnswer | drawChild(renderer, 0);
    }
};
