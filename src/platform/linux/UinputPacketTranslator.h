#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
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
// Usages without a Linux key code are ignored. Usages that share one key code (keyboard Mute and
// consumer Mute) hold it together: the key goes down with the first and up with the last.
// Not thread-safe: one writer at a time.
class UinputPacketTranslator {
  public:
    // The events of one packet; empty when the packet is malformed or changes nothing.
    std::vector<InputEventSpec> Translate(std::span<const std::uint8_t> packet);
    // Events that release everything held, ended by SYN_REPORT (empty when nothing is held).
    std::vector<InputEventSpec> ReleaseAll();
    // Every key and button code a translation can produce (the device's capabilities).
    static std::vector<std::uint16_t> KeyCodes();

  private:
    struct KeyChange {
        std::optional<std::uint16_t> code;
        bool pressed = false;
    };
    // Counts the holders of each key code and adds an event for each code whose state changed.
    void Apply(std::span<const KeyChange> changes, std::vector<InputEventSpec>& out);

    static constexpr std::size_t kKeyCodeCount = 0x300;
    std::array<std::uint8_t, kKeyCodeCount> holders_{};
    std::array<std::uint8_t, 32> keys_{};
    std::uint8_t buttons_ = 0;
    std::uint16_t consumer_ = 0;
    std::uint16_t system_ = 0;
};

}  // namespace keylume::platform
