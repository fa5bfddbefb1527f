#include "platform/clock_posix.h"

#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

namespace morvik {

PosixClock::PosixClock() {
    // Sleeps are element lengths: the kernel's default timer slack of 50 µs
    // would lengthen every one of them. One nanosecond is the least allowed.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

int64_t PosixClock::MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void PosixClock::SleepMs(int64_t ms) {
    ms = ClampSleep(ms);
    if (ms == 0) return;
    // An absolute deadline, so that signals and wake-up latency do not add up.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(ms / 1000);
    deadline.tv_nsec += static_cast<long>((ms % 1000) * 1000000);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

LocalTime PosixClock::Now() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace morvik
