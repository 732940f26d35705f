#pragma once

#include <cstdint>
#include <string_view>

#include "core/device/HidPath.h"

namespace keylume {

// Whether a HID path read by ParseHidPath names the configured keyboard interface. A part the path
// does not have (no "&mi_", no "&col") or a zero vendor or product passes; a part it has must be
// the configured value. Unlike the enumeration filter, a configured -1 stands for no value here:
// with interface -1, a path that has "&mi_" never matches.
bool IsConfiguredKeyboardPath(const HidPathFields& fields, std::int32_t vid, std::int32_t pid,
                              std::int32_t usbInterface, std::int32_t subdevice);

// What a device broadcast means for the main window.
enum class DeviceChange {
    Ignored,          // not an arrival or removal of a device interface, or not a HID path
    KeyboardArrived,  // open the broadcast's path, then reopen the filter channel
    OtherArrived,     // a HID interface that is not the keyboard: reopen the filter channel
    KeyboardRemoved,  // close the keyboard
    OtherRemoved,     // nothing to do
};

DeviceChange DecideDeviceChange(std::uint32_t eventCode, std::uint32_t deviceType,
                                std::string_view path, std::int32_t vid, std::int32_t pid,
                                std::int32_t usbInterface, std::int32_t subdevice);

}  // namespace keylume
