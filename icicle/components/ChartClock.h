// ChartClock: the time source of the chart's animations, seconds on a monotonic clock, and the
// stopwatch that turns readings into elapsed times. The application uses monotonicClock()
// (engine/core/Clock.h); tests pass a clock they advance by hand. Main thread.
#pragma once

#include <functional>

using ChartClock = std::function<double()>;

// Seconds on the platform's monotonic counter.
ChartClock monotonicClock();

// Reading returns the seconds since the previous reading (or since start()) and restarts it.
class Stopwatch {
public:
    void start(double now) { last = now; }
    // Never negative: a clock that steps back gives 0 rather than an animation running backwards.
    double lap(double now)
    {
        const double elapsed = now - last;
        last = now;
        return elapsed > 0.0 ? elapsed : 0.0;
    }

private:
    double last = 0.0;
};
