#include "platform/linux/UdevBroadcasts.h"

#include <libudev.h>

#include <algorithm>

#include "platform/linux/HidapiHidBus.h"

namespace keylume::platform {

UdevBroadcasts::UdevBroadcasts(const char* source, Lister lister) : lister_(std::move(lister)) {
    if (!lister_)
        lister_ = ListHidapiInterfaces;
    udev_ = udev_new();
    if (udev_ != nullptr)
        monitor_ = udev_monitor_new_from_netlink(udev_, source);
    if (monitor_ != nullptr &&
        (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
         udev_monitor_enable_receiving(monitor_) < 0)) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
    Remember(lister_());
}

UdevBroadcasts::~UdevBroadcasts() {
    if (monitor_ != nullptr)
        udev_monitor_unref(monitor_);
    if (udev_ != nullptr)
        udev_unref(udev_);
}

void UdevBroadcasts::SetListener(Listener listener) {
    listener_ = std::move(listener);
}

int UdevBroadcasts::NotifyFd() const {
    return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

void UdevBroadcasts::Remember(const std::vector<NamedHidInterface>& present) {
    for (const auto& n : present) {
        auto& names = namesOfNode_[n.info.path];
        if (std::find(names.begin(), names.end(), n.name) == names.end())
            names.push_back(n.name);
    }
}

std::vector<DeviceBroadcast> UdevBroadcasts::BroadcastsFor(const std::string& action,
                                                           const std::string& node) {
    std::vector<DeviceBroadcast> out;
    if (action == "add") {
        std::vector<NamedHidInterface> ofNode;
        for (auto& n : lister_())
            if (n.info.path == node)
                ofNode.push_back(std::move(n));
        namesOfNode_.erase(node);
        Remember(ofNode);
        for (const auto& n : ofNode)
            out.push_back(DeviceBroadcast{kDeviceArrival, kDeviceTypeInterface, n.name});
    } else if (action == "remove") {
        const auto it = namesOfNode_.find(node);
        if (it == namesOfNode_.end())
            return out;
        for (const auto& name : it->second)
            out.push_back(DeviceBroadcast{kDeviceRemoveComplete, kDeviceTypeInterface, name});
        namesOfNode_.erase(it);
    }
    return out;
}

void UdevBroadcasts::DispatchPending() {
    if (monitor_ == nullptr)
        return;
    // The monitor's socket does not block: this drains what has arrived and returns.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        std::vector<DeviceBroadcast> broadcasts;
        if (action != nullptr && node != nullptr)
            broadcasts = BroadcastsFor(action, node);
        udev_device_unref(device);
        if (!listener_)
            continue;
        for (const auto& b : broadcasts)
            listener_(b);
    }
}

}  // namespace keylume::platform
