#include "core/drivers/VHidev.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Trace.h"

namespace keylume {

namespace {

void TraceSearch(const std::string& text) {
    platform::Trace::Write("vhidev", text);
}

}  // namespace

std::array<std::uint8_t, kVirtualKeyboardPacketSize> MakeVirtualKeyboardPacket(
    const std::uint8_t* data, std::size_t length, std::uint8_t reportId) {
    std::array<std::uint8_t, kVirtualKeyboardPacketSize> packet{};
    packet[0] = 0x05;
    std::size_t at = 1;
    if (reportId != 0)
        packet[at++] = reportId;
    if (data != nullptr)
        std::copy_n(data, std::min(length, packet.size() - at), packet.begin() + at);
    return packet;
}

VHidev::VHidev() = default;

VHidev::~VHidev() {
    Close();
}

VHidev& VHidev::Instance() {
    // Never destroyed: playback may still press keys while other statics go away. The exit hook
    // releases what is held; the trace it may write to is made first so that it outlives the hook.
    static VHidev* const instance = [] {
        platform::Trace::Enabled();
        auto* created = new VHidev;
        std::atexit([] { Instance().ReleaseAll(); });
        return created;
    }();
    return *instance;
}

bool VHidev::Send(const std::uint8_t* data, std::size_t length, std::uint8_t reportId) {
    const auto packet = MakeVirtualKeyboardPacket(data, length, reportId);
    std::lock_guard lock(writeMutex_);
    if (!device_)
        return false;
    return device_->Write(packet, -1) == static_cast<int>(packet.size());
}

int VHidev::PressUsage(std::uint16_t usagePage, std::uint16_t usage, bool pressed) {
    std::lock_guard lock(stateMutex_);
    const auto setBit = [pressed](std::uint8_t& byte, unsigned bit) {
        const auto mask = static_cast<std::uint8_t>(1u << bit);
        byte = static_cast<std::uint8_t>(pressed ? (byte | mask) : (byte & ~mask));
    };
    switch (usagePage) {
        case 7: {
            const unsigned u = usage & 0xFFu;
            setBit(keyboard_.data[1 + (u >> 3)], u & 7u);
            return keyboard_.SendState() ? 1 : 0;
        }
        case 5:
            if (usage < 8)
                setBit(mouse_.data[0], usage);
            return mouse_.SendState() ? 1 : 0;
        case 1: {
            if (usage >= 0x80) {
                const std::uint16_t value = pressed ? usage : 0;
                system_.data[0] = static_cast<std::uint8_t>(value & 0xFF);
                system_.data[1] = static_cast<std::uint8_t>(value >> 8);
                return system_.SendState() ? 1 : 0;
            }
            std::size_t axis = 0;
            if (usage == 0x30) {
                axis = 1;
            } else if (usage == 0x31) {
                axis = 2;
            } else if (usage == 0x38) {
                axis = 3;
            } else {
                return 0;
            }
            // One step while the usage is held; the call carries no amount.
            mouse_.data[axis] = pressed ? 1 : 0;
            return mouse_.SendState() ? 1 : 0;
        }
        case 12: {
            const std::uint16_t value = pressed ? usage : 0;
            consumer_.data[0] = static_cast<std::uint8_t>(value & 0xFF);
            consumer_.data[1] = static_cast<std::uint8_t>(value >> 8);
            return consumer_.SendState() ? 1 : 0;
        }
        default:
            return 0;
    }
}

int VHidev::ReleaseAll() {
    std::lock_guard lock(stateMutex_);
    return ReleaseAllLocked();
}

int VHidev::ReleaseAllLocked() {
    keyboard_.data.fill(0);
    mouse_.data.fill(0);
    consumer_.data.fill(0);
    system_.data.fill(0);
    keyboard_.SendState();
    mouse_.SendState();
    consumer_.SendState();
    return system_.SendState() ? 1 : 0;
}

bool VHidev::IsOpen() const {
    std::lock_guard lock(writeMutex_);
    return device_ != nullptr;
}

void VHidev::SetDevice(std::unique_ptr<platform::HidPort> device) {
    std::lock_guard state(stateMutex_);
    bool open = false;
    {
        std::lock_guard lock(writeMutex_);
        open = device_ != nullptr;
    }
    // Nothing the program pressed stays held on a device it lets go of.
    if (open)
        ReleaseAllLocked();
    std::unique_ptr<platform::HidPort> old;
    {
        std::lock_guard lock(writeMutex_);
        old = std::move(device_);
        device_ = std::move(device);
    }
}

void VHidev::Close() {
    SetDevice(nullptr);
}

bool VHidev::FindDevice(platform::HidBus& bus) {
    Close();
    std::unique_ptr<platform::HidPort> found;
    const bool ok = FindVirtualKeyboard(bus, &found);
    SetDevice(std::move(found));
    return ok;
}

bool FindVirtualKeyboard(platform::HidBus& bus, std::unique_ptr<platform::HidPort>* out) {
    if (out == nullptr) {
        TraceSearch("Error: Invalid device handle parameter");
        return false;
    }
    out->reset();
    const std::vector<std::string> paths = bus.ListInterfaces();
    if (paths.empty()) {
        TraceSearch("Error: No active device interfaces found. Is the sample driver loaded?");
        return false;
    }
    char line[128];
    std::snprintf(line, sizeof line,
                  "....looking for our HID device (with UP=0x%04X and Usage=0x%02X)",
                  kVirtualKeyboardUsagePage, kVirtualKeyboardUsage);
    TraceSearch(line);
    bool found = false;
    for (const std::string& path : paths) {
        errno = 0;
        auto port = bus.Open(path, platform::kAccessRead | platform::kAccessWrite,
                             platform::kShareRead | platform::kShareWrite);
        if (!port) {
            std::snprintf(line, sizeof line, "Warning: CreateFile failed: %d", errno);
            TraceSearch(line);
            continue;
        }
        platform::HidAttributes attributes;
        if (!port->GetAttributes(attributes)) {
            TraceSearch("Error: HidD_GetAttributes failed");
            continue;
        }
        std::snprintf(line, sizeof line, "Device Attributes - PID: 0x%x, VID: 0x%x",
                      attributes.productId, attributes.vendorId);
        TraceSearch(line);
        if (attributes.vendorId != kVirtualKeyboardVendor ||
            attributes.productId != kVirtualKeyboardProduct) {
            TraceSearch("Device attributes doesn't match the sample");
            continue;
        }
        platform::HidCaps caps;
        if (!port->GetCaps(caps)) {
            TraceSearch("Error: HidP_GetCaps failed");
            continue;
        }
        if (caps.usagePage != kVirtualKeyboardUsagePage || caps.usage != kVirtualKeyboardUsage)
            continue;
        TraceSearch("Success: Found my device..");
        // The last accepted interface wins; the one held before is closed here.
        *out = std::move(port);
        found = true;
    }
    return found;
}

}  // namespace keylume
