// ChartScreen: the chart screen drawn without the GUI toolkit, for the snapshot tool and the frame
// benchmark — scanning a directory the way the application does, and drawing its mesh as the
// screen shows it: the root label across a top band, the scroll bar's thumb under it, and the
// chart on its background below. Relies on IcicleRenderer for the chart itself. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"
#include "engine/gl/MasterPtr.h"
#include "icicle/IcicleMesh.h"
#include "scan/FilesystemNode.h"
#include "scan/ScanDirectory.h"

#include <cstdint>
#include <string>

namespace orvex {
class FrameBuffer;
}
class IcicleRenderer;

// Pixel heights of the screen's parts at UI scale 1, top to bottom: the band of the root label
// (as tall as the CHANGE DIRECTORY button with its padding beside it), the scroll bar, one pixel
// of chart background above the chart.
struct ChartScreenLayout {
    static constexpr int BAND_HEIGHT = 80;
    static constexpr int SCROLL_BAR_HEIGHT = 16;
    static constexpr int CHART_PADDING = 1;
    static constexpr int CHART_TOP = BAND_HEIGHT + SCROLL_BAR_HEIGHT + CHART_PADDING;
};

// Orders every directory's children by the bytes of their names. The chart follows the listing
// order, which differs between file systems (hash order on some); sorted trees draw the same
// picture everywhere.
void sortByName(FilesystemNode& root);

// The application's smallest cell: max(total >> 20, 1) bytes.
uint64_t minimumNodeSize(uint64_t totalBytes);

// Maps a component of the given top edge (pixels from the framebuffer's top) and the framebuffer's
// full width to clip space of a `framebuffer`-sized viewport: component units are pixels, y down.
orvex::Matrix<double, 4, 4> componentToClip(double top, orvex::Vector<int, 2> framebuffer);

// Draws the whole chart screen into `target` (made current, blending on, whole viewport):
// `view` is the visible byte range, `rows` the number of rows filling the chart's height.
void drawChartScreen(IcicleRenderer& renderer, const IcicleMesh<orvex::MasterPtr, int>& mesh,
                     orvex::FrameBuffer& target, orvex::Vector<double, 2> view, int rows);
