#pragma once
#include "platform/clock.h"

namespace morvik {

// CLOCK_MONOTONIC, absolute-deadline sleeps and the local time of day.
class PosixClock : public Clock {
public:
    PosixClock();
    int64_t MonotonicMs() override;
    void SleepMs(int64_t ms) override;
    LocalTime Now() override;
};

}  // namespace morvik
