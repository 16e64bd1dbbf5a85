// ChartClock: the monotonic clock of engine/core, read as seconds since the counter's origin.
#include "icicle/components/ChartClock.h"

#include "engine/core/Clock.h"

ChartClock monotonicClock()
{
    return [] { return orvex::seconds(orvex::TimePoint::now() - orvex::TimePoint()); };
}
