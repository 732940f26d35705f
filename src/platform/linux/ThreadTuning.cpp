#include "platform/ThreadTuning.h"

#include <sys/prctl.h>

namespace keylume::platform {

void LowerTimerSlackOfThisThread() {
    // 1 ns is the smallest slack; 0 would restore the default of 50 us.
    (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

}  // namespace keylume::platform
