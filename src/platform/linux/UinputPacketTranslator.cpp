#include "platform/linux/UinputPacketTranslator.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <utility>

#include "platform/linux/UsageTables.h"

namespace keylume::platform {

namespace {

void EndFrame(std::vector<InputEventSpec>& out) {
    if (!out.empty())
        out.push_back({EV_SYN, SYN_REPORT, 0});
}

}  // namespace

void UinputPacketTranslator::Apply(std::span<const KeyChange> changes,
                                   std::vector<InputEventSpec>& out) {
    static_assert(KEY_CNT <= kKeyCodeCount, "a holder count for every key code");
    // The state of each touched code before the changes, in the order the codes came.
    std::vector<std::pair<std::uint16_t, bool>> before;
    for (const KeyChange& change : changes) {
        if (!change.code || *change.code >= holders_.size())
            continue;
        const std::uint16_t code = *change.code;
        if (std::none_of(before.begin(), before.end(),
                         [code](const auto& b) { return b.first == code; }))
            before.emplace_back(code, holders_[code] > 0);
        std::uint8_t& holders = holders_[code];
        if (change.pressed)
            ++holders;
        else if (holders > 0)
            --holders;
    }
    for (const auto& [code, wasDown] : before) {
        const bool down = holders_[code] > 0;
        if (down != wasDown)
            out.push_back({EV_KEY, code, down ? 1 : 0});
    }
}

std::vector<InputEventSpec> UinputPacketTranslator::Translate(
    std::span<const std::uint8_t> packet) {
    std::vector<InputEventSpec> out;
    if (packet.size() != 64 || packet[0] != 0x05)
        return out;
    const std::uint8_t* data = packet.data() + 2;
    switch (packet[1]) {
        case 1: {
            // Data byte 0 is reserved; bytes 1..32 hold the 256 keyboard usages.
            std::vector<KeyChange> changes;
            for (unsigned u = 0; u < 256; ++u) {
                const bool now = (data[1 + (u >> 3)] >> (u & 7)) & 1;
                const bool before = (keys_[u >> 3] >> (u & 7)) & 1;
                if (now != before)
                    changes.push_back({KeyCodeOfUsage({7, static_cast<std::uint16_t>(u)}), now});
            }
            std::copy_n(data + 1, keys_.size(), keys_.begin());
            Apply(changes, out);
            break;
        }
        case 2: {
            const auto buttons = MouseButtonCodes();
            for (unsigned bit = 0; bit < 8; ++bit) {
                const bool now = (data[0] >> bit) & 1;
                if (now != (((buttons_ >> bit) & 1) != 0))
                    out.push_back({EV_KEY, buttons[bit], now ? 1 : 0});
            }
            buttons_ = data[0];
            // Relative axes move by their value in every report that carries one.
            const std::uint16_t axes[] = {REL_X, REL_Y, REL_WHEEL};
            for (unsigned i = 0; i < 3; ++i) {
                const auto value = static_cast<std::int8_t>(data[1 + i]);
                if (value != 0)
                    out.push_back({EV_REL, axes[i], value});
            }
            break;
        }
        case 3:
        case 4: {
            const auto usage = static_cast<std::uint16_t>(data[0] | data[1] << 8);
            std::uint16_t& held = packet[1] == 3 ? consumer_ : system_;
            const std::uint16_t page = packet[1] == 3 ? 12 : 1;
            if (usage != held) {
                std::vector<KeyChange> changes;
                if (held != 0)
                    changes.push_back({KeyCodeOfUsage({page, held}), false});
                if (usage != 0)
                    changes.push_back({KeyCodeOfUsage({page, usage}), true});
                held = usage;
                Apply(changes, out);
            }
            break;
        }
        default:
            break;
    }
    EndFrame(out);
    return out;
}

std::vector<InputEventSpec> UinputPacketTranslator::ReleaseAll() {
    std::vector<InputEventSpec> out;
    std::vector<KeyChange> keys;
    for (unsigned u = 0; u < 256; ++u) {
        if ((keys_[u >> 3] >> (u & 7)) & 1)
            keys.push_back({KeyCodeOfUsage({7, static_cast<std::uint16_t>(u)}), false});
    }
    Apply(keys, out);
    const auto buttons = MouseButtonCodes();
    for (unsigned bit = 0; bit < 8; ++bit) {
        if ((buttons_ >> bit) & 1)
            out.push_back({EV_KEY, buttons[bit], 0});
    }
    std::vector<KeyChange> media;
    if (consumer_ != 0)
        media.push_back({KeyCodeOfUsage({12, consumer_}), false});
    if (system_ != 0)
        media.push_back({KeyCodeOfUsage({1, system_}), false});
    Apply(media, out);
    holders_.fill(0);
    keys_.fill(0);
    buttons_ = 0;
    consumer_ = 0;
    system_ = 0;
    EndFrame(out);
    return out;
}

std::vector<std::uint16_t> UinputPacketTranslator::KeyCodes() {
    std::vector<std::uint16_t> codes;
    auto add = [&codes](std::optional<std::uint16_t> code) {
        if (code && std::find(codes.begin(), codes.end(), *code) == codes.end())
            codes.push_back(*code);
    };
    for (std::uint16_t u = 0; u < 256; ++u)
        add(KeyCodeOfUsage({7, u}));
    for (std::uint16_t u = 0; u < 0x400; ++u)
        add(KeyCodeOfUsage({12, u}));
    for (std::uint16_t u = 0x80; u < 0x100; ++u)
        add(KeyCodeOfUsage({1, u}));
    for (const auto button : MouseButtonCodes())
        add(button);
    return codes;
}

}  // namespace keylume::platform
