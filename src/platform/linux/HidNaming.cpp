#include "platform/linux/HidNaming.h"

#include <cstdio>
#include <map>

namespace keylume::platform {

namespace {

// The node's file name ("hidraw3"); the full path when it has no '/' or ends in one.
std::string NodeTail(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size())
        return path;
    return path.substr(slash + 1);
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

}  // namespace

std::vector<NamedHidInterface> NameHidInterfaces(std::span<const HidapiDeviceInfo> devices) {
    std::map<std::string, int> collectionsOfNode;
    for (const auto& d : devices)
        ++collectionsOfNode[d.path];

    std::map<std::string, int> seenOfNode;
    std::vector<NamedHidInterface> named;
    named.reserve(devices.size());
    for (const auto& d : devices) {
        const int collection = ++seenOfNode[d.path];
        std::string name = "hid#vid_" + Hex(d.vendorId, 4) + "&pid_" + Hex(d.productId, 4);
        // USB interface numbers are one byte; anything else is not a USB interface.
        if (d.interfaceNumber >= 0 && d.interfaceNumber <= 0xFF)
            name += "&mi_" + Hex(static_cast<unsigned>(d.interfaceNumber), 2);
        if (collectionsOfNode[d.path] > 1)
            name += "&col" + Hex(static_cast<unsigned>(collection), 2);
        name += "#" + NodeTail(d.path);
        named.push_back(NamedHidInterface{std::move(name), d});
    }
    return named;
}

}  // namespace keylume::platform
