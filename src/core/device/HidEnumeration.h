#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/HidBus.h"

namespace keylume {

// One present HID interface that passed the filter of EnumerateHidInterfaces.
struct HidMatch {
    std::string path;
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
    std::int32_t interfaceNumber = -1;
    std::int32_t collectionNumber = -1;
    // 0 when the interface could not be opened to read them (a collection the system keeps).
    std::uint16_t versionNumber = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;

    bool operator==(const HidMatch&) const = default;
};

// Whether one number of a path passes a filter value: a value >= 0 must be equal, -1 takes
// anything, any other negative value takes nothing.
bool HidNumberPasses(std::int32_t filter, std::int32_t parsed);

// The present interfaces whose path names the vendor (<= 0: any), one of the products (empty:
// any), the interface number and the collection number, in the bus's order. With neither a vendor
// nor a product the result is empty at once. Each match is opened once to read its version number
// and usage.
std::vector<HidMatch> EnumerateHidInterfaces(platform::HidBus& bus, std::int32_t vendorId,
                                             std::span<const std::int32_t> productIds,
                                             std::int32_t interfaceNumber,
                                             std::int32_t collectionNumber);

}  // namespace keylume
