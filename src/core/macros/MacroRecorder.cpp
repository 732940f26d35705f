#include "core/macros/MacroRecorder.h"

#include "core/macros/KeyNameTable.h"

namespace keylume {

bool MacroRecorder::Record(std::vector<MacroItem>& items, std::uint32_t usage, bool pressed,
                           int mode, std::uint32_t fixedDelay, std::int64_t nowMs) {
    // Usage 0 is no key at all: it neither becomes an event nor cuts the previous event's delay.
    if (usage == 0)
        return false;
    if (!pressed && items.empty())
        return false;
    if (!items.empty()) {
        std::uint32_t& delay = items.back().delay;
        switch (static_cast<DelayMode>(mode)) {
            case DelayMode::Real:
                // Without an earlier event in this session there is nothing to measure from: the
                // group's last event keeps its delay instead of taking the whole uptime.
                if (lastEventTime_ >= 0)
                    delay = static_cast<std::uint32_t>(nowMs - lastEventTime_);
                break;
            case DelayMode::Fixed:
                delay = fixedDelay;
                break;
            default:
                delay = 0;
                break;
        }
    }
    lastEventTime_ = nowMs;
    items.push_back(MacroItem{usage, pressed ? 1u : 0u, 0, KeyName(usage)});
    return true;
}

}  // namespace keylume
