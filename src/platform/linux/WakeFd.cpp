#include "platform/WakeFd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace keylume::platform {

WakeFd::WakeFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeFd::~WakeFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

void WakeFd::Signal() {
    if (fd_ < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void WakeFd::Drain() {
    if (fd_ < 0)
        return;
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(fd_, &count, sizeof count);
}

}  // namespace keylume::platform
