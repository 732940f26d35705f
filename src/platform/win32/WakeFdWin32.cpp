#include "platform/WakeFd.h"

namespace keylume::platform {

// Windows event loops wait on window messages and handles, not descriptors.
WakeFd::WakeFd() = default;
WakeFd::~WakeFd() = default;
void WakeFd::Signal() {}
void WakeFd::Drain() {}

}  // namespace keylume::platform
