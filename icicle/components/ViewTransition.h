// ViewTransition: the animated change of the chart's view when the focus moves to another folder.
// It carries the visible range, the top row and the row height from where they were to the new focus along an
// eased curve, the range's width geometrically so the zoom speed looks even, and ends exactly on
// the target. Plain arithmetic; the chart advances it once per drawn frame. Main thread.
#pragma once

#include "icicle/components/IcicleView.h"

class ViewTransition {
public:
    // Starts from `view`'s current range, top row and row height towards `target`'s, over `duration` seconds.
    void start(const IcicleView& view, const IcicleView& target, double duration);
    bool running() const { return active; }
    // Advances by `dt` seconds and writes the range, top row and row height into `view`; on the last step they
    // are the target's. False when it was not running.
    bool step(double dt, IcicleView& view);
    // Jumps to the end at once (input that arrives mid-way acts on the final view).
    void finish(IcicleView& view);

    static constexpr double DURATION = 0.25; // seconds, the longest a focus change animates

private:
    struct Frame {
        double start = 0.0, end = 1.0, row = 1.0, rowScale = 0.125;
    };
    void apply(double progress, IcicleView& view) const;

    bool active = false;
    double elapsed = 0.0;
    double length = DURATION;
    Frame from, to;
};
