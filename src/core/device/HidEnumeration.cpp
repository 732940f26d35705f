#include "core/device/HidEnumeration.h"

#include <algorithm>

#include "core/device/HidPath.h"

namespace keylume {

bool HidNumberPasses(std::int32_t filter, std::int32_t parsed) {
    if (filter >= 0)
        return filter == parsed;
    return filter == -1;
}

std::vector<HidMatch> EnumerateHidInterfaces(platform::HidBus& bus, std::int32_t vendorId,
                                             std::span<const std::int32_t> productIds,
                                             std::int32_t interfaceNumber,
                                             std::int32_t collectionNumber) {
    std::vector<HidMatch> matches;
    if (productIds.empty() && vendorId <= 0)
        return matches;

    for (const std::string& path : bus.ListInterfaces()) {
        const HidPathFields fields = ParseHidPath(path);
        if (!fields.matched)
            continue;
        if (!productIds.empty() &&
            std::find(productIds.begin(), productIds.end(), fields.productId) == productIds.end())
            continue;
        if (vendorId > 0 && vendorId != fields.vendorId)
            continue;
        if (!HidNumberPasses(interfaceNumber, fields.interfaceNumber))
            continue;
        if (!HidNumberPasses(collectionNumber, fields.collectionNumber))
            continue;

        HidMatch match{path, fields.vendorId, fields.productId, fields.interfaceNumber,
                       fields.collectionNumber};
        // The interface may be gone already, or be one the system keeps to itself; the match
        // stays, with zeros for what could not be read.
        const auto port = bus.Open(path, platform::kAccessRead | platform::kAccessWrite,
                                   platform::kShareRead | platform::kShareWrite);
        if (port) {
            platform::HidAttributes attributes;
            if (port->GetAttributes(attributes))
                match.versionNumber = attributes.versionNumber;
            platform::HidCaps caps;
            if (port->GetCaps(caps)) {
                match.usagePage = caps.usagePage;
                match.usage = caps.usage;
            }
        }
        matches.push_back(std::move(match));
    }
    return matches;
}

}  // namespace keylume
