#include "core/device/DeviceChange.h"

#include "platform/DeviceBroadcasts.h"

namespace keylume {

bool IsConfiguredKeyboardPath(const HidPathFields& fields, std::int32_t vid, std::int32_t pid,
                              std::int32_t usbInterface, std::int32_t subdevice) {
    if (!fields.matched)
        return false;
    return (fields.vendorId == 0 || fields.vendorId == vid) &&
           (fields.productId == 0 || fields.productId == pid) &&
           (fields.interfaceNumber < 0 || fields.interfaceNumber == usbInterface) &&
           (fields.collectionNumber < 0 || fields.collectionNumber == subdevice);
}

DeviceChange DecideDeviceChange(std::uint32_t eventCode, std::uint32_t deviceType,
                                std::string_view path, std::int32_t vid, std::int32_t pid,
                                std::int32_t usbInterface, std::int32_t subdevice) {
    const bool arrival = eventCode == platform::kDeviceArrival;
    const bool removal = eventCode == platform::kDeviceRemoveComplete;
    if ((!arrival && !removal) || deviceType != platform::kDeviceTypeInterface)
        return DeviceChange::Ignored;
    const HidPathFields fields = ParseHidPath(path);
    if (!fields.matched)
        return DeviceChange::Ignored;
    const bool keyboard = IsConfiguredKeyboardPath(fields, vid, pid, usbInterface, subdevice);
    if (arrival)
        return keyboard ? DeviceChange::KeyboardArrived : DeviceChange::OtherArrived;
    return keyboard ? DeviceChange::KeyboardRemoved : DeviceChange::OtherRemoved;
}

}  // namespace keylume
