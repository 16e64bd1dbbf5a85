// The clock on POSIX: CLOCK_MONOTONIC in nanoseconds, so the frequency is fixed.
#include "engine/core/Clock.h"

#include <time.h>

namespace orvex {

TimePoint TimePoint::now()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return TimePoint(int64_t(t.tv_sec) * 1000000000 + t.tv_nsec);
}

int64_t tickFrequency() { return 1000000000; }

double seconds(const Duration& duration)
{
    int64_t frequency = tickFrequency();
    return frequency ? double(duration.ticks()) / double(frequency) : 0.0;
}

} // namespace orvex
