#pragma once

namespace keylume::platform {

// Asks the system to wake the calling thread as close to its deadlines as it can (on Linux: the
// smallest timer slack). Playback calls it on its thread; a failure only costs precision.
void LowerTimerSlackOfThisThread();

}  // namespace keylume::platform
