// The virtual keyboard's packets, as arbitrary bytes, turned into input events: only codes the
// device announced, every key change a real change (no press of a held key, no release of a free
// one), every frame ended by SYN_REPORT, and nothing held after a release of everything.
#include <linux/input-event-codes.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <span>
#include <vector>

#include "platform/linux/UinputPacketTranslator.h"

namespace {

using keylume::platform::InputEventSpec;

[[noreturn]] void Fail(const char* what, const InputEventSpec& e) {
    std::fprintf(stderr, "%s: type %u code %u value %d\n", what, e.type, e.code, e.value);
    std::abort();
}

// The key state the kernel would hold after the events.
void Apply(const std::vector<InputEventSpec>& events, const std::set<std::uint16_t>& announced,
           std::map<std::uint16_t, bool>& held) {
    if (events.empty())
        return;
    const InputEventSpec& last = events.back();
    if (last.type != EV_SYN || last.code != SYN_REPORT)
        Fail("a frame without SYN_REPORT at its end", last);
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        const InputEventSpec& e = events[i];
        if (e.type == EV_SYN)
            Fail("SYN_REPORT inside a frame", e);
        if (e.type != EV_KEY)
            continue;
        if (!announced.count(e.code))
            Fail("a key the device did not announce", e);
        if (e.value != 0 && e.value != 1)
            Fail("a key value other than 0 and 1", e);
        if (held[e.code] == (e.value == 1))
            Fail(e.value ? "a press of a held key" : "a release of a free key", e);
        held[e.code] = e.value == 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto codes = keylume::platform::UinputPacketTranslator::KeyCodes();
    static const std::set<std::uint16_t> announced(codes.begin(), codes.end());
    keylume::platform::UinputPacketTranslator translator;
    std::map<std::uint16_t, bool> held;
    // Packets of 64 bytes (0x05, report ID, data), the first two bytes taken from the input so
    // that the report IDs are reached; a leading 0xFF byte makes one packet of another length.
    std::size_t at = 0;
    while (at < size) {
        std::vector<std::uint8_t> packet;
        if (data[at] == 0xFF && at + 1 < size) {
            const std::size_t length = data[at + 1];
            at += 2;
            packet.assign(data + at, data + std::min(size, at + length));
            at += packet.size();
        } else {
            packet.assign(64, 0);
            packet[0] = 0x05;
            packet[1] = static_cast<std::uint8_t>(data[at] % 6);
            ++at;
            const std::size_t take = std::min<std::size_t>(62, size - at);
            std::copy_n(data + at, take, packet.begin() + 2);
            at += take;
        }
        Apply(translator.Translate(packet), announced, held);
    }
    Apply(translator.ReleaseAll(), announced, held);
    for (const auto& [code, down] : held)
        if (down)
            Fail("held after releasing everything", InputEventSpec{EV_KEY, code, 1});
    return 0;
}
