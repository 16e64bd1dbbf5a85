// The clock on Windows: the performance counter, its frequency read once (0 when the query
// fails, which makes every duration read as 0 seconds).
#include "engine/core/Clock.h"

#include <windows.h>

namespace orvex {

namespace {
const int64_t frequency = [] {
    LARGE_INTEGER f;
    return QueryPerformanceFrequency(&f) ? int64_t(f.QuadPart) : int64_t(0);
}();
}

TimePoint TimePoint::now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return TimePoint(counter.QuadPart);
}

int64_t tickFrequency() { return frequency; }

double seconds(const Duration& duration)
{
    return frequency ? double(duration.ticks()) / double(frequency) : 0.0;
}

} // namespace orvex
