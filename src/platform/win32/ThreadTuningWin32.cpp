// Timing on Windows. The system timer ticks every 15.6 ms by default, and every timed wait
// (condition variables, events, Sleep) ends on a tick. Playback waits for its deadlines on an
// event, so the process asks for a 1 ms timer period once, the first time a playing thread starts,
// and gives it back when it ends. Plain sleeps use a high-resolution waitable timer where the
// system has one (Windows 10 1803 and later), else a waitable timer on the 1 ms period.

// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on

#include <mutex>

#include "platform/ThreadTuning.h"
#include "platform/win32/Win32Util.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace keylume::platform {

namespace {

struct TimerPeriod {
    TimerPeriod() : granted(::timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~TimerPeriod() {
        if (granted)
            ::timeEndPeriod(1);
    }
    bool granted;
};

win32::UniqueHandle NewTimer() {
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS);
    if (timer == nullptr)
        timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    return win32::UniqueHandle(timer);
}

}  // namespace

void LowerTimerSlackOfThisThread() {
    static TimerPeriod period;
    (void)period;
}

std::chrono::nanoseconds TimedWaitGranularity() {
    // Condition variables of the posix thread layer wait until a system time, which advances in
    // ticks of up to 15.6 ms whatever timer period is asked for.
    return std::chrono::milliseconds(16);
}

void SleepPrecisely(std::chrono::nanoseconds duration) {
    if (duration <= std::chrono::nanoseconds::zero())
        return;
    // A timer per sleep: thread_local objects with destructors are not safe at thread exit with
    // this toolchain's threads, and creating a timer costs microseconds.
    const win32::UniqueHandle timer = NewTimer();
    // Relative due times are negative, in 100 ns units.
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>((duration.count() + 99) / 100);
    if (timer && ::SetWaitableTimer(timer.Get(), &due, 0, nullptr, nullptr, FALSE) &&
        ::WaitForSingleObject(timer.Get(), INFINITE) == WAIT_OBJECT_0)
        return;
    ::Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(duration).count()));
}

}  // namespace keylume::platform
