#include "platform/sim/SimVirtualKeyboard.h"

#include <algorithm>
#include <chrono>

#include "platform/Trace.h"

namespace keylume::platform {

namespace {

constexpr std::uint16_t kKeyboardPage = 7;
constexpr std::uint16_t kConsumerPage = 12;
constexpr std::uint16_t kSystemPage = 1;
constexpr std::uint16_t kButtonPage = 9;

// Characters of keyboard usages 0x04..0x38 without and with Shift (US layout); 0 = not text.
struct KeyChars {
    char plain;
    char shifted;
};

KeyChars CharsOf(std::uint16_t usage) {
    if (usage >= 0x04 && usage <= 0x1D) {
        const char c = static_cast<char>('a' + (usage - 0x04));
        return {c, static_cast<char>(c - 'a' + 'A')};
    }
    static constexpr char digits[] = "1234567890";
    static constexpr char digitsShifted[] = "!@#$%^&*()";
    if (usage >= 0x1E && usage <= 0x27)
        return {digits[usage - 0x1E], digitsShifted[usage - 0x1E]};
    switch (usage) {
        case 0x28:
        case 0x58:
            return {'\n', '\n'};
        case 0x2B:
            return {'\t', '\t'};
        case 0x2C:
            return {' ', ' '};
        case 0x2D:
            return {'-', '_'};
        case 0x2E:
            return {'=', '+'};
        case 0x2F:
            return {'[', '{'};
        case 0x30:
            return {']', '}'};
        case 0x31:
            return {'\\', '|'};
        case 0x33:
            return {';', ':'};
        case 0x34:
            return {'\'', '"'};
        case 0x35:
            return {'`', '~'};
        case 0x36:
            return {',', '<'};
        case 0x37:
            return {'.', '>'};
        case 0x38:
            return {'/', '?'};
        case 0x54:
            return {'/', '/'};
        case 0x55:
            return {'*', '*'};
        case 0x56:
            return {'-', '-'};
        case 0x57:
            return {'+', '+'};
        default:
            break;
    }
    if (usage >= 0x59 && usage <= 0x61) {
        const char c = static_cast<char>('1' + (usage - 0x59));
        return {c, c};
    }
    if (usage == 0x62)
        return {'0', '0'};
    return {0, 0};
}

}  // namespace

std::string TypedText(std::span<const SimKeyTransition> transitions) {
    std::string text;
    std::array<bool, 256> held{};
    for (const auto& t : transitions) {
        if (t.page != kKeyboardPage || t.usage > 0xFF)
            continue;
        held[t.usage] = t.pressed;
        if (!t.pressed)
            continue;
        const bool shift = held[0xE1] || held[0xE5];
        const bool shortcut =
            held[0xE0] || held[0xE2] || held[0xE3] || held[0xE4] || held[0xE6] || held[0xE7];
        if (shortcut)
            continue;
        if (t.usage == 0x2A) {
            if (!text.empty())
                text.pop_back();
            continue;
        }
        const KeyChars chars = CharsOf(t.usage);
        const char c = shift ? chars.shifted : chars.plain;
        if (c != 0)
            text.push_back(c);
    }
    return text;
}

void SimSystemInput::Deliver(const SimKeyTransition& transition) {
    std::lock_guard lock(mutex_);
    transitions_.push_back(transition);
}

std::vector<SimKeyTransition> SimSystemInput::Transitions() const {
    std::lock_guard lock(mutex_);
    return transitions_;
}

std::string SimSystemInput::Text() const {
    std::lock_guard lock(mutex_);
    return TypedText(transitions_);
}

void SimSystemInput::Clear() {
    std::lock_guard lock(mutex_);
    transitions_.clear();
}

SimVirtualKeyboard::SimVirtualKeyboard(std::string path, SimSystemInput* system)
    : path_(std::move(path)), system_(system) {}

HidAttributes SimVirtualKeyboard::Attributes() const {
    return HidAttributes{0xDEED, 0xFEED, 0x0100};
}

HidCaps SimVirtualKeyboard::Caps() const {
    HidCaps caps;
    caps.usage = 0x01;
    caps.usagePage = 0xFF00;
    caps.outputReportByteLength = 64;
    return caps;
}

int SimVirtualKeyboard::OnWrite(std::span<const std::uint8_t> packet) {
    if (packet.size() != 64 || packet[0] != 0x05 || packet[1] < 1 || packet[1] > 4)
        return 0;
    if (Trace::Enabled()) {
        std::size_t used = packet.size();
        while (used > 2 && packet[used - 1] == 0)
            --used;
        Trace::Write("vkbd", HexBytes(packet.first(used)));
    }
    const std::uint8_t* data = packet.data() + 2;
    {
        std::lock_guard lock(mutex_);
        switch (packet[1]) {
            case 1:
                // Data byte 0 is reserved; bytes 1..32 are the bitmap of 256 usages.
                for (unsigned u = 0; u < 256; ++u) {
                    const bool now = (data[1 + (u >> 3)] >> (u & 7)) & 1;
                    const bool before = (keys_[u >> 3] >> (u & 7)) & 1;
                    if (now != before)
                        Change(kKeyboardPage, static_cast<std::uint16_t>(u), now);
                }
                std::copy_n(data + 1, 32, keys_.begin());
                break;
            case 2:
                for (unsigned bit = 0; bit < 8; ++bit) {
                    const bool now = (data[0] >> bit) & 1;
                    if (now != (((mouse_[0] >> bit) & 1) != 0))
                        Change(kButtonPage, static_cast<std::uint16_t>(bit), now);
                }
                std::copy_n(data, 4, mouse_.begin());
                break;
            case 3:
            case 4: {
                const auto usage = static_cast<std::uint16_t>(data[0] | data[1] << 8);
                std::uint16_t& held = packet[1] == 3 ? consumer_ : system_usage_;
                const std::uint16_t page = packet[1] == 3 ? kConsumerPage : kSystemPage;
                if (usage != held) {
                    if (held != 0)
                        Change(page, held, false);
                    if (usage != 0)
                        Change(page, usage, true);
                    held = usage;
                }
                break;
            }
            default:
                break;
        }
        std::array<std::uint8_t, 64> copy{};
        std::copy(packet.begin(), packet.end(), copy.begin());
        packets_.push_back(copy);
        ++packetCount_;
        // A long session (an endless macro) must not grow without bound: keep the recent history.
        if (packets_.size() > kHistoryLimit)
            packets_.erase(packets_.begin(), packets_.begin() + kHistoryLimit / 2);
        if (transitions_.size() > kHistoryLimit)
            transitions_.erase(transitions_.begin(), transitions_.begin() + kHistoryLimit / 2);
    }
    arrived_.notify_all();
    return static_cast<int>(packet.size());
}

void SimVirtualKeyboard::Change(std::uint16_t page, std::uint16_t usage, bool pressed) {
    transitions_.push_back({page, usage, pressed});
    if (system_ != nullptr)
        system_->Deliver({page, usage, pressed});
}

std::vector<std::uint8_t> SimVirtualKeyboard::PressedKeys() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> out;
    for (unsigned u = 0; u < 256; ++u) {
        if ((keys_[u >> 3] >> (u & 7)) & 1)
            out.push_back(static_cast<std::uint8_t>(u));
    }
    return out;
}

std::uint8_t SimVirtualKeyboard::MouseButtons() const {
    std::lock_guard lock(mutex_);
    return mouse_[0];
}

std::int8_t SimVirtualKeyboard::MouseX() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::int8_t>(mouse_[1]);
}

std::int8_t SimVirtualKeyboard::MouseY() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::int8_t>(mouse_[2]);
}

std::int8_t SimVirtualKeyboard::Wheel() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::int8_t>(mouse_[3]);
}

std::uint16_t SimVirtualKeyboard::Consumer() const {
    std::lock_guard lock(mutex_);
    return consumer_;
}

std::uint16_t SimVirtualKeyboard::SystemControl() const {
    std::lock_guard lock(mutex_);
    return system_usage_;
}

bool SimVirtualKeyboard::NothingHeld() const {
    std::lock_guard lock(mutex_);
    return std::all_of(keys_.begin(), keys_.end(), [](std::uint8_t b) { return b == 0; }) &&
           mouse_[0] == 0 && consumer_ == 0 && system_usage_ == 0;
}

std::size_t SimVirtualKeyboard::PacketCount() const {
    return packetCount_.load();
}

std::vector<std::array<std::uint8_t, 64>> SimVirtualKeyboard::Packets() const {
    std::lock_guard lock(mutex_);
    return packets_;
}

std::vector<SimKeyTransition> SimVirtualKeyboard::Transitions() const {
    std::lock_guard lock(mutex_);
    return transitions_;
}

std::string SimVirtualKeyboard::Text() const {
    std::lock_guard lock(mutex_);
    return TypedText(transitions_);
}

bool SimVirtualKeyboard::WaitForPackets(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return packetCount_.load() >= count; });
}

}  // namespace keylume::platform
