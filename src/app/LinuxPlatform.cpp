#include "app/LinuxPlatform.h"

namespace keylume {

LinuxPlatform::LinuxPlatform(std::uint16_t keyboardVendor, std::uint16_t keyboardProduct)
    : filter_(keyboardVendor, keyboardProduct) {}

platform::NamedLocks& LinuxPlatform::Locks() {
    return platform::SystemNamedLocks();
}

platform::Clock& LinuxPlatform::Time() {
    return platform::SystemClock();
}

}  // namespace keylume
