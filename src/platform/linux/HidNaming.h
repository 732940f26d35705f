#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace keylume::platform {

// One entry of hidapi's device list, reduced to what the names and the ports need. hidapi lists
// one entry per top-level collection of a hidraw node, all with the node's path.
struct HidapiDeviceInfo {
    std::string path;  // the hidraw node, "/dev/hidraw3"
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t releaseNumber = 0;
    int interfaceNumber = -1;  // the USB interface; -1 when there is none (uhid, Bluetooth)
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;

    bool operator==(const HidapiDeviceInfo&) const = default;
};

// A HID interface under its canonical name, and the node that serves it.
struct NamedHidInterface {
    std::string name;  // "hid#vid_1a2c&pid_2d3e&mi_01&col02#hidraw3"
    HidapiDeviceInfo info;

    bool operator==(const NamedHidInterface&) const = default;
};

// Names hidapi's list in the canonical form, in hidapi's order: vendor and product as four lower
// case hex digits, "&mi_NN" from the USB interface number (two hex digits) when there is one,
// "&colNN" numbered from 01 in hidapi's order when a node has more than one top-level collection,
// and the node's file name after the last '#'.
std::vector<NamedHidInterface> NameHidInterfaces(std::span<const HidapiDeviceInfo> devices);

}  // namespace keylume::platform
