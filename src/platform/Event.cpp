#include "platform/Event.h"

#include <algorithm>

#include "platform/ThreadTuning.h"

namespace keylume::platform {

Event::Event(Reset mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

void Event::Set() {
    std::vector<std::function<void()>> wakers;
    {
        std::lock_guard lock(mutex_);
        set_ = true;
        wakers.reserve(wakers_.size());
        for (auto& entry : wakers_)
            wakers.push_back(entry.second);
    }
    if (mode_ == Reset::Manual) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
    for (auto& waker : wakers)
        waker();
}

void Event::ResetEvent() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

Event::WaitResult Event::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (timeout.count() < 0) {
        cv_.wait(lock, [this] { return set_; });
    } else if (!cv_.wait_for(lock, timeout, [this] { return set_; })) {
        return WaitResult::TimedOut;
    }
    if (mode_ == Reset::Auto)
        set_ = false;
    return WaitResult::Signalled;
}

Event::WaitResult Event::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    const auto granularity = TimedWaitGranularity();
    if (granularity.count() == 0) {
        if (!cv_.wait_until(lock, deadline, [this] { return set_; }))
            return WaitResult::TimedOut;
    } else {
        // Timed waits end on the system's clock tick here: wait until one tick before the
        // deadline, then cover the rest in short precise sleeps, looking at the event between them.
        constexpr auto kStep = std::chrono::microseconds(500);
        for (;;) {
            if (set_)
                break;
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return WaitResult::TimedOut;
            if (deadline - now > granularity) {
                cv_.wait_until(lock, deadline - granularity, [this] { return set_; });
                continue;
            }
            lock.unlock();
            SleepPrecisely(std::min<std::chrono::nanoseconds>(deadline - now, kStep));
            lock.lock();
        }
    }
    if (mode_ == Reset::Auto)
        set_ = false;
    return WaitResult::Signalled;
}

bool Event::TryConsume() {
    std::lock_guard lock(mutex_);
    if (!set_)
        return false;
    if (mode_ == Reset::Auto)
        set_ = false;
    return true;
}

bool Event::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

Event::WakerId Event::Subscribe(std::function<void()> waker) {
    std::lock_guard lock(mutex_);
    const WakerId id = nextWaker_++;
    wakers_.emplace_back(id, std::move(waker));
    return id;
}

void Event::Unsubscribe(WakerId id) {
    std::lock_guard lock(mutex_);
    std::erase_if(wakers_, [id](const auto& entry) { return entry.first == id; });
}

}  // namespace keylume::platform
