// PictureDifference: how far two pictures of the same size are apart, as the snapshot tests judge
// it. Rasterisers may differ by a level here and there (label edges, blending rounding); a moved
// cell, a lost label or a wrong colour changes far more. Label pixels (the bright ones) are counted
// on their own as well, so a few wrong glyphs cannot hide among the cells.
#pragma once

#include "tools/snapshot/PngFile.h"

#include <algorithm>
#include <cstdlib>

struct PictureDifference {
    double meanDifference = 0; // per channel
    double closeShare = 1;     // pixels within 4 levels in every channel
    double labelShare = 1;     // the same among label pixels
    size_t labels = 0;

    bool acceptable() const { return meanDifference < 0.5 && closeShare >= 0.99 && labelShare >= 0.98; }

    static PictureDifference between(const orvex::Image& a, const orvex::Image& b)
    {
        double sum = 0;
        size_t close = 0, labelsClose = 0;
        PictureDifference result;
        const size_t pixels = size_t(a.width()) * size_t(a.height());
        for (size_t i = 0; i < pixels; ++i) {
            int worst = 0, brightest = 0;
            for (int c = 0; c < 3; ++c) {
                const int x = a.data()[i * 4 + c], y = b.data()[i * 4 + c];
                sum += std::abs(x - y);
                worst = std::max(worst, std::abs(x - y));
                brightest = std::max({ brightest, x, y });
            }
            close += worst <= 4;
            if (brightest >= 160) {
                ++result.labels;
                labelsClose += worst <= 4;
            }
        }
        result.meanDifference = pixels ? sum / double(pixels * 3) : 0;
        result.closeShare = pixels ? double(close) / double(pixels) : 1;
        result.labelShare = result.labels ? double(labelsClose) / double(result.labels) : 1;
        return result;
    }
};
