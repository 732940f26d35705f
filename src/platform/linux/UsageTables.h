#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace keylume::platform {

// A HID usage: usage page (7 keyboard, 12 consumer, 1 generic desktop) and usage id.
struct HidUsage {
    std::uint16_t page = 0;
    std::uint16_t usage = 0;

    bool operator==(const HidUsage&) const = default;
};

// HID usages and Linux input key codes, both ways, for the keyboard page, the consumer page and
// the system-control usages of the generic desktop page.
//
// A few usages share a key code with a usage of another page (keyboard Mute and consumer Mute are
// both KEY_MUTE). Such a key code maps back to the usage keyboards send for it: the consumer page
// for the media keys, system control for Power.

// The key code of a usage; none when Linux has no key for it.
std::optional<std::uint16_t> KeyCodeOfUsage(HidUsage usage);
// The usage of a key code; none when it is not one of ours.
std::optional<HidUsage> UsageOfKeyCode(std::uint16_t keyCode);

// The button codes of the virtual keyboard's mouse button byte: bit n is HID button n + 1
// (left, right, middle, side, extra, forward, back, task).
std::span<const std::uint16_t, 8> MouseButtonCodes();

}  // namespace keylume::platform
