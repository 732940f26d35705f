#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DeviceBroadcasts.h"
#include "platform/linux/HidNaming.h"

struct udev;
struct udev_monitor;

namespace keylume::platform {

// Arrivals and removals of hidraw nodes, from a libudev monitor. Each node added or removed
// becomes one broadcast per interface name of that node (a node with several top-level
// collections has several). A removed node can no longer be asked for its collections, so the
// names of every node are remembered from the last listing.
//
// The UI layer watches NotifyFd() (the monitor's socket) in its event loop and calls
// DispatchPending() when it is readable; the listener runs there, on the UI thread.
// Failure: without udev, NotifyFd() is -1 and nothing is ever dispatched.
class UdevBroadcasts final : public DeviceBroadcasts {
  public:
    using Lister = std::function<std::vector<NamedHidInterface>()>;

    // `source` is "udev" (events after udevd has set the node up) or "kernel" (straight from the
    // kernel, for systems without udevd). `lister` lists the present interfaces; by default
    // hidapi's.
    explicit UdevBroadcasts(const char* source = "udev", Lister lister = {});
    ~UdevBroadcasts() override;
    UdevBroadcasts(const UdevBroadcasts&) = delete;
    UdevBroadcasts& operator=(const UdevBroadcasts&) = delete;

    void SetListener(Listener listener) override;
    int NotifyFd() const override;
    void DispatchPending() override;

    // The broadcasts for one node event ("add" or "remove" of `node`), as DispatchPending makes
    // them; the remembered names are updated.
    std::vector<DeviceBroadcast> BroadcastsFor(const std::string& action, const std::string& node);

  private:
    void Remember(const std::vector<NamedHidInterface>& present);

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    Lister lister_;
    Listener listener_;
    std::map<std::string, std::vector<std::string>> namesOfNode_;
};

}  // namespace keylume::platform
