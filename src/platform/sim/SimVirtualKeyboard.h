#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/SimHidBus.h"

namespace keylume::platform {

// One change of a key or button as the system sees it. Pages: 7 keyboard, 12 consumer, 1 system
// control, 9 mouse buttons (usage = bit number of the button byte).
struct SimKeyTransition {
    std::uint16_t page = 0;
    std::uint16_t usage = 0;
    bool pressed = false;

    bool operator==(const SimKeyTransition&) const = default;
};

// The text a user would have seen typed by these transitions on a US layout: printable keys with
// Shift, Return as a line feed, Tab, Backspace deleting; keys pressed while Control, Alt or GUI are
// held are shortcuts, not text.
std::string TypedText(std::span<const SimKeyTransition> transitions);

// What the system received, from the keyboard through the filter and from the virtual keyboard,
// in the order it came. Threads: any.
class SimSystemInput {
  public:
    void Deliver(const SimKeyTransition& transition);
    std::vector<SimKeyTransition> Transitions() const;
    std::string Text() const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<SimKeyTransition> transitions_;
};

// The emulated virtual keyboard: a HID interface with vid 0xDEED, pid 0xFEED and a top-level
// collection 0xFF00:1 that takes 64-byte packets (byte 0 = 0x05, byte 1 = report ID 1 keyboard,
// 2 mouse, 3 consumer, 4 system control) and presents them as input: it keeps the decoded state
// and every transition. Writes "vkbd <packet>" to the trace (trailing zero bytes left out, at least
// two bytes).
// Threads: writes from any thread (the port serialises nothing; packets are decoded whole under a
// lock); the accessors from any thread.
class SimVirtualKeyboard final : public SimHidInterface {
  public:
    static constexpr const char* kDefaultPath = "hid#vid_deed&pid_feed#simvkbd";

    explicit SimVirtualKeyboard(std::string path = kDefaultPath, SimSystemInput* system = nullptr);

    std::string Path() const override { return path_; }
    HidAttributes Attributes() const override;
    HidCaps Caps() const override;
    bool OnSetFeature(std::span<const std::uint8_t>) override { return false; }
    bool OnGetFeature(std::span<std::uint8_t>) override { return false; }
    // Takes a 64-byte packet that starts with 0x05 and a known report ID; refuses anything else.
    int OnWrite(std::span<const std::uint8_t> packet) override;

    // Keyboard usages held now, ascending.
    std::vector<std::uint8_t> PressedKeys() const;
    std::uint8_t MouseButtons() const;
    std::int8_t MouseX() const;
    std::int8_t MouseY() const;
    std::int8_t Wheel() const;
    std::uint16_t Consumer() const;
    std::uint16_t SystemControl() const;
    // No key, button, consumer or system usage held.
    bool NothingHeld() const;

    // Packets taken since creation.
    std::size_t PacketCount() const;
    // The recent packets and transitions (the last 32768 at least), oldest first.
    std::vector<std::array<std::uint8_t, 64>> Packets() const;
    std::vector<SimKeyTransition> Transitions() const;
    std::string Text() const;
    // Blocks until at least `count` packets were taken or `timeoutMs` passed; true when they were.
    bool WaitForPackets(std::size_t count, int timeoutMs) const;

  private:
    static constexpr std::size_t kHistoryLimit = 65536;

    void Change(std::uint16_t page, std::uint16_t usage, bool pressed);

    const std::string path_;
    SimSystemInput* const system_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::array<std::uint8_t, 32> keys_{};
    std::array<std::uint8_t, 4> mouse_{};
    std::uint16_t consumer_ = 0;
    std::uint16_t system_usage_ = 0;
    std::atomic<std::size_t> packetCount_{0};
    std::vector<std::array<std::uint8_t, 64>> packets_;
    std::vector<SimKeyTransition> transitions_;
};

}  // namespace keylume::platform
