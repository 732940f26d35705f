#include "platform/sim/SimBroadcasts.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace keylume::platform {

SimBroadcasts::SimBroadcasts() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SimBroadcasts::~SimBroadcasts() {
    if (fd_ >= 0)
        ::close(fd_);
}

void SimBroadcasts::SetListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

void SimBroadcasts::Post(DeviceBroadcast broadcast) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(broadcast));
    Signal();
}

std::size_t SimBroadcasts::PendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void SimBroadcasts::DispatchPending() {
    std::deque<DeviceBroadcast> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        Drain();
    }
    Listener listener;
    {
        std::lock_guard lock(listenerMutex_);
        listener = listener_;
    }
    // Without a listener nobody registered for broadcasts, so they are gone, as with the system.
    if (!listener)
        return;
    for (const auto& broadcast : batch)
        listener(broadcast);
}

void SimBroadcasts::Signal() {
    if (fd_ < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void SimBroadcasts::Drain() {
    if (fd_ < 0)
        return;
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(fd_, &count, sizeof count);
}

}  // namespace keylume::platform
