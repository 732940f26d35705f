#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "platform/DeviceBroadcasts.h"

namespace keylume::platform {

// The device broadcasts of the built-in devices. The emulated bus queues arrivals and removals
// from whatever thread plugs or unplugs; the UI thread sees NotifyFd() (an eventfd) become
// readable and calls DispatchPending(), which delivers them in order.
//
// Threads: Post and PendingCount from any thread; SetListener and DispatchPending on the UI thread.
class SimBroadcasts final : public DeviceBroadcasts {
  public:
    SimBroadcasts();
    ~SimBroadcasts() override;
    SimBroadcasts(const SimBroadcasts&) = delete;
    SimBroadcasts& operator=(const SimBroadcasts&) = delete;

    void SetListener(Listener listener) override;
    int NotifyFd() const override { return fd_; }
    // Broadcasts queued while a listener runs wait for the next call.
    void DispatchPending() override;

    void Post(DeviceBroadcast broadcast);
    std::size_t PendingCount() const;

  private:
    void Signal();
    void Drain();

    int fd_ = -1;
    mutable std::mutex mutex_;
    std::deque<DeviceBroadcast> queue_;
    std::mutex listenerMutex_;
    Listener listener_;
};

}  // namespace keylume::platform
