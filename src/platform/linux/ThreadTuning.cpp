#include "platform/ThreadTuning.h"

#include <sys/prctl.h>

#include <thread>

namespace keylume::platform {

void LowerTimerSlackOfThisThread() {
    // 1 ns is the smallest slack; 0 would restore the default of 50 us.
    (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

std::chrono::nanoseconds TimedWaitGranularity() {
    return std::chrono::nanoseconds::zero();
}

void SleepPrecisely(std::chrono::nanoseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace keylume::platform
