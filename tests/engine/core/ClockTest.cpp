// Tests for TimePoint, Duration and seconds(): the counter never runs backwards and converts
// to seconds at its real rate. Time bounds are loose because the machine is shared.
#include "engine/core/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace orvex;

TEST(ClockTest, NowNeverGoesBackwards)
{
    TimePoint previous = TimePoint::now();
    for (int i = 0; i < 100000; ++i) {
        TimePoint current = TimePoint::now();
        ASSERT_GE(current.ticks(), previous.ticks()) << "sample " << i;
        previous = current;
    }
}

TEST(ClockTest, SleepMeasuresItsLengthInSeconds)
{
    ASSERT_GT(tickFrequency(), 0);
    const TimePoint start = TimePoint::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const TimePoint end = TimePoint::now();

    const double elapsed = seconds(end - start);
    EXPECT_GE(elapsed, 0.015);
    EXPECT_LE(elapsed, 1.0);
    EXPECT_DOUBLE_EQ(seconds(start - end), -elapsed);
}
