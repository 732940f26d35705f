#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace keylume::platform {

// One input event as the kernel takes it (type, code, value of struct input_event).
struct InputEventSpec {
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;

    bool operator==(const InputEventSpec&) const = default;
};

// Turns the virtual keyboard's 64-byte packets (0x05, report ID, data) into input events: key and
// button changes as EV_KEY, mouse movement and wheel as EV_REL, each packet's events ended by one
// SYN_REPORT. It remembers what each report holds, so a packet yields only the changes.
// Usages without a Linux key code are ignored. Not thread-safe: one writer at a time.
class UinputPacketTranslator {
  public:
    // The events of one packet; empty when the packet is malformed or changes nothing.
    std::vector<InputEventSpec> Translate(std::span<const std::uint8_t> packet);
    // Events that release everything held, ended by SYN_REPORT (empty when nothing is held).
    std::vector<InputEventSpec> ReleaseAll();
    // Every key and button code a translation can produce (the device's capabilities).
    static std::vector<std::uint16_t> KeyCodes();

  private:
    std::array<std::uint8_t, 32> keys_{};
    std::uint8_t buttons_ = 0;
    std::uint16_t consumer_ = 0;
    std::uint16_t system_ = 0;
};

}  // namespace keylume::platform
