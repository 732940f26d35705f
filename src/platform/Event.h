#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace keylume::platform {

// A waitable event in the manner of the system events the program's threads wait on: manual-reset
// events stay set until Reset, auto-reset events let exactly one wait through and clear themselves.
//
// Any thread may Set, Reset and Wait. Backends that block in the operating system (poll on a file
// descriptor, say) can subscribe a waker that runs on every Set, so one event can end a wait on a
// device as well as a wait on the event itself.
class Event {
  public:
    enum class Reset { Manual, Auto };
    enum class WaitResult { Signalled, TimedOut };

    explicit Event(Reset mode, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void ResetEvent();

    // Waits until the event is set or `timeout` has passed; a negative timeout waits without limit.
    // An auto-reset event is cleared by the wait it lets through.
    WaitResult Wait(std::chrono::milliseconds timeout);
    WaitResult Wait() { return Wait(std::chrono::milliseconds(-1)); }
    // Waits until the event is set or the monotonic clock reaches `deadline`.
    WaitResult WaitUntil(std::chrono::steady_clock::time_point deadline);

    // True when set; an auto-reset event is cleared by the call that sees it set.
    bool TryConsume();
    bool IsSet() const;

    // Wakers run on the thread that calls Set, with no lock of the event held. The id returned
    // removes the waker again; Unsubscribe waits for nothing, so a waker must stay valid until the
    // Set calls that may run it have returned (in practice: subscribe and unsubscribe on the thread
    // that waits, around the wait).
    using WakerId = std::uint64_t;
    WakerId Subscribe(std::function<void()> waker);
    void Unsubscribe(WakerId id);

  private:
    const Reset mode_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool set_;
    WakerId nextWaker_ = 1;
    std::vector<std::pair<WakerId, std::function<void()>>> wakers_;
};

}  // namespace keylume::platform
