#include "core/device/HidDevice.h"

#include <algorithm>
#include <string>

#include "core/device/HidEnumeration.h"

namespace keylume {

namespace {

constexpr std::uint32_t kAccessMask = 0xFF000000u;
constexpr std::uint32_t kShareMask = 0xFFu;

// Cuts `length` to a report length the interface announced (0 announces nothing).
std::size_t Bounded(std::size_t length, std::uint16_t announced) {
    if (announced != 0 && announced < length)
        return announced;
    return length;
}

}  // namespace

HidDevice::HidDevice(platform::NamedLocks& locks, platform::HidBus& bus)
    : locks_(locks), bus_(bus) {}

int HidDevice::Open(std::string_view path, std::uint32_t mode) {
    const auto lock = locks_.Acquire("HidDevice::Open");
    if (!lock->Owns())
        return 0;
    if (path.empty())
        return 0;

    std::shared_ptr<platform::HidPort> previous;
    {
        std::lock_guard guard(mutex_);
        previous = std::move(port_);
    }
    // The old interface is let go before the new one is opened.
    previous.reset();

    std::shared_ptr<platform::HidPort> port =
        bus_.Open(path, mode & kAccessMask, mode & kShareMask);
    if (!port)
        return 0;
    platform::HidCaps caps;
    const bool haveCaps = port->GetCaps(caps);
    std::lock_guard guard(mutex_);
    // Capabilities that cannot be read keep their previous values; the open still counts.
    if (haveCaps)
        caps_ = caps;
    port_ = std::move(port);
    return 1;
}

int HidDevice::Open(std::int32_t vendorId, std::span<const std::int32_t> productIds,
                    std::int32_t interfaceNumber, std::int32_t collectionNumber,
                    std::uint16_t* versionNumber, std::uint32_t mode) {
    const auto lock = locks_.Acquire("HidDevice::Open");
    if (!lock->Owns())
        return 0;
    const auto matches =
        EnumerateHidInterfaces(bus_, vendorId, productIds, interfaceNumber, collectionNumber);
    if (matches.empty())
        return 0;
    if (versionNumber != nullptr)
        *versionNumber = matches.front().versionNumber;
    return Open(matches.front().path, mode);
}

void HidDevice::Close() {
    const auto lock = locks_.Acquire("HidDevice::Close");
    std::shared_ptr<platform::HidPort> previous;
    {
        std::lock_guard guard(mutex_);
        previous = std::move(port_);
    }
}

bool HidDevice::IsOpen() const {
    std::lock_guard guard(mutex_);
    return port_ != nullptr;
}

platform::HidCaps HidDevice::Caps() const {
    std::lock_guard guard(mutex_);
    return caps_;
}

std::shared_ptr<platform::HidPort> HidDevice::CurrentPort() const {
    std::lock_guard guard(mutex_);
    return port_;
}

int HidDevice::Write(const Report& report) {
    const auto lock = locks_.Acquire("HidDevice::Write");
    if (!lock->Owns())
        return 0;
    const auto port = CurrentPort();
    if (!port)
        return 0;
    const std::size_t length = Bounded(report.size(), Caps().outputReportByteLength);
    const int written =
        port->Write(std::span<const std::uint8_t>(report.data(), length), kWriteTimeoutMs);
    return std::clamp(written, 0, static_cast<int>(length));
}

bool HidDevice::GetFeature(Report& report) {
    const auto lock = locks_.Acquire("HidDevice::GetFeature");
    if (!lock->Owns())
        return false;
    const auto port = CurrentPort();
    return port && port->GetFeature(report);
}

bool HidDevice::SetFeature(const Report& report) {
    const auto lock = locks_.Acquire("HidDevice::SetFeature");
    if (!lock->Owns())
        return false;
    const auto port = CurrentPort();
    return port && port->SetFeature(report);
}

int HidDevice::Read(std::span<std::uint8_t> buffer, platform::Event* abort, int timeoutMs) {
    const auto lock = locks_.Acquire("HidDevice::Read");
    if (!lock->Owns())
        return 0;
    const auto port = CurrentPort();
    if (buffer.empty() || !port || timeoutMs <= 0)
        return 0;
    const std::size_t length = Bounded(buffer.size(), Caps().inputReportByteLength);
    const int got = port->Read(buffer.first(length), timeoutMs, abort);
    return std::clamp(got, 0, static_cast<int>(length));
}

}  // namespace keylume
