#include "platform/sim/SimBroadcasts.h"

#include <utility>
#include <vector>

namespace keylume::platform {

SimBroadcasts::SimBroadcasts() = default;

SimBroadcasts::~SimBroadcasts() = default;

void SimBroadcasts::SetListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

void SimBroadcasts::Post(DeviceBroadcast broadcast) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(broadcast));
    wake_.Signal();
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
        wake_.Drain();
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

}  // namespace keylume::platform
