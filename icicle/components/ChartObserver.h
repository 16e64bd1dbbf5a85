// ChartObserver: told when the chart's hovered cell, selection or focused folder changes, so a
// details bar (or anything else that describes them) can follow without polling. Main thread.
#pragma once

class ChartObserver {
public:
    virtual ~ChartObserver() = default;
    // Any of IcicleVisualization's hoveredNode, selectedNode or focusedNode changed.
    virtual void chartNodesChanged() = 0;
};
