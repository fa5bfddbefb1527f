#pragma once
#include <cstdint>

namespace morvik {

// Local calendar time to the second.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Monotonic time, sleeping and the local time of day.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock (the origin is arbitrary).
    virtual int64_t MonotonicMs() = 0;
    // Sleeps whole milliseconds; 0 or less returns at once, lengths are
    // capped at SleepCapMs.
    virtual void SleepMs(int64_t ms) = 0;
    virtual LocalTime Now() = 0;
};

// The longest single sleep: the largest signed 32-bit count.
inline constexpr int64_t SleepCapMs = 2147483647;

inline int64_t ClampSleep(int64_t ms) {
    if (ms <= 0) return 0;
    return ms > SleepCapMs ? SleepCapMs : ms;
}

// a × b without overflow: the result saturates at the 64-bit range.
inline int64_t SaturatingMultiply(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r)) {
        return ((a < 0) != (b < 0)) ? INT64_MIN : INT64_MAX;
    }
    return r;
}

}  // namespace morvik
