// TimePoint and Duration on the platform's monotonic high-resolution counter: the monotonic
// clock on POSIX, the performance counter on Windows. Each holds its tick count in its own
// heap cell; seconds() converts ticks with the frequency read once at start-up.
#pragma once

#include <cstdint>
#include <memory>

namespace orvex {

class Duration {
public:
    explicit Duration(int64_t ticks = 0) : cell(std::make_unique<int64_t>(ticks)) {}
    Duration(const Duration& other) : Duration(other.ticks()) {}
    Duration& operator=(const Duration& other)
    {
        *cell = other.ticks();
        return *this;
    }
    int64_t ticks() const { return *cell; }

private:
    std::unique_ptr<int64_t> cell;
};

class TimePoint {
public:
    explicit TimePoint(int64_t ticks = 0) : cell(std::make_unique<int64_t>(ticks)) {}
    TimePoint(TimePoint&& other) noexcept = default;
    TimePoint& operator=(TimePoint&& other) noexcept = default;
    TimePoint(const TimePoint& other) : TimePoint(other.ticks()) {}
    TimePoint& operator=(const TimePoint& other)
    {
        *this = TimePoint(other.ticks());
        return *this;
    }

    // Any thread.
    static TimePoint now();
    int64_t ticks() const { return *cell; }
    Duration operator-(const TimePoint& earlier) const { return Duration(ticks() - earlier.ticks()); }

private:
    std::unique_ptr<int64_t> cell;
};

// Ticks per second of the counter; 0 when the platform could not tell.
int64_t tickFrequency();
// ticks / frequency; 0 when the frequency is unknown.
double seconds(const Duration& duration);

} // namespace orvex
