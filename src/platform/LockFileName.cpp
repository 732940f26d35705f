#include <cstdio>
#include <string>

#include "platform/NamedLock.h"

namespace keylume::platform {

std::string LockFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool keep = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                          (u >= '0' && u <= '9') || u == '-' || u == '.';
        if (keep && !(u == '.' && out.empty())) {
            out.push_back(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "_%02x", u);
            out += hex;
        }
    }
    return out;
}

}  // namespace keylume::platform
