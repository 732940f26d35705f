#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "platform/DeviceBroadcasts.h"
#include "platform/WakeFd.h"

namespace keylume::platform {

// The device broadcasts of the built-in devices. The emulated bus queues arrivals and removals
// from whatever thread plugs or unplugs; the UI thread sees NotifyFd() (an eventfd on Linux) become
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
    int NotifyFd() const override { return wake_.Fd(); }
    // Broadcasts queued while a listener runs wait for the next call.
    void DispatchPending() override;

    void Post(DeviceBroadcast broadcast);
    std::size_t PendingCount() const;

  private:
    WakeFd wake_;
    mutable std::mutex mutex_;
    std::deque<DeviceBroadcast> queue_;
    std::mutex listenerMutex_;
    Listener listener_;
};

}  // namespace keylume::platform
