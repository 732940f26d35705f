#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace keylume::platform {

// The arrival and removal of device interfaces, in the terms the program's handler reads.
inline constexpr std::uint32_t kDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDeviceTypeInterface = 5;
inline constexpr std::uint32_t kDeviceTypeVolume = 2;

struct DeviceBroadcast {
    std::uint32_t eventCode = 0;   // kDeviceArrival, kDeviceRemoveComplete, or another code
    std::uint32_t deviceType = 0;  // kDeviceTypeInterface for device interfaces
    std::string path;              // canonical interface path (see HidBus)
};

// Port: broadcasts about devices coming and going, for every interface class.
//
// Backends notice changes on their own threads and queue them; the UI thread watches NotifyFd()
// (readable while broadcasts wait) and calls DispatchPending(), which hands each queued broadcast
// to the listener in order, on the UI thread.
// Threads: SetListener and DispatchPending on the UI thread only.
// Failure: a backend that cannot watch the system returns -1 from NotifyFd and never dispatches.
class DeviceBroadcasts {
  public:
    using Listener = std::function<void(const DeviceBroadcast&)>;

    virtual ~DeviceBroadcasts() = default;

    virtual void SetListener(Listener listener) = 0;
    virtual int NotifyFd() const = 0;
    virtual void DispatchPending() = 0;
};

}  // namespace keylume::platform
