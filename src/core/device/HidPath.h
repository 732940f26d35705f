#pragma once

#include <cstdint>
#include <string_view>

namespace keylume {

// What a device interface path says about the HID interface behind it. Numbers are -1 when the
// path has no such part.
struct HidPathFields {
    bool matched = false;
    std::int32_t vendorId = -1;
    std::int32_t productId = -1;
    std::int32_t interfaceNumber = -1;
    std::int32_t collectionNumber = -1;

    bool operator==(const HidPathFields&) const = default;
};

// Reads "hid#vid_XXXX&pid_XXXX[&rev_XXXX][&mi_NN][&colNN]" anywhere in `path` (case-sensitive, so
// a path written in upper case does not match). Only the last character after "&mi_" and after
// "&col" is read, as the system's paths have always been read: "&mi_01" is 1, "&mi_0a" is 10.
HidPathFields ParseHidPath(std::string_view path);

}  // namespace keylume
