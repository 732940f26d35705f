#pragma once

#include <chrono>

namespace keylume::platform {

// Asks the system to wake the calling thread as close to its deadlines as it can (on Linux: the
// smallest timer slack; on Windows: a 1 ms system timer period for the rest of the process, since
// the default 15.6 ms tick would turn 1 ms macro steps into 15 ms ones). Playback calls it on its
// thread; a failure only costs precision.
void LowerTimerSlackOfThisThread();

// Blocks the calling thread for `duration`, as precisely as the system can (on Windows a
// high-resolution waitable timer rather than the tick-bound Sleep).
void SleepPrecisely(std::chrono::nanoseconds duration);

// How late a timed wait on a condition variable may end: 0 where it ends on time (Linux); on
// Windows the system tick, since such waits are measured on the tick-bound system time.
std::chrono::nanoseconds TimedWaitGranularity();

}  // namespace keylume::platform
