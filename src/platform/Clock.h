#pragma once

#include <chrono>
#include <cstdint>

namespace keylume::platform {

// Port: monotonic time. Never goes back, is not moved by changes of the wall clock.
// Threads: any. Failure: none.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point Now() const = 0;
    // Blocks the calling thread for `duration` (a controllable clock may just advance).
    virtual void SleepFor(std::chrono::nanoseconds duration) = 0;

    // Whole milliseconds since an arbitrary start, wrapping at 2^32 as a tick counter does.
    std::uint32_t TickCount() const;
};

// The real monotonic clock.
Clock& SystemClock();

// Milliseconds since this process started, on the monotonic clock; used to stamp trace lines.
std::uint64_t ProcessUptimeMs();

}  // namespace keylume::platform
