#pragma once

#include <cstdint>
#include <vector>

#include "core/settings/MacroItem.h"

namespace keylume {

// How recorded events get their delays (the macro library's "mode").
enum class DelayMode : int { Real = 0, Fixed = 1, None = 2 };

// Turns captured key events into a macro's events: each event's delay is the time from it to the
// next recorded one, measured, fixed or left out. The last event keeps delay 0 until another event
// follows it.
// Threads: the UI thread (the editor's handler of captured keys).
class MacroRecorder {
  public:
    // Forgets the last event's time, as when the editor opens.
    void Reset() { lastEventTime_ = -1; }

    // Applies one captured event to `items`. A release into an empty list is not recorded, nor is
    // usage 0. `mode` is the stored delay mode (values other than 0 and 1 mean no delay); `nowMs`
    // the monotonic clock in milliseconds. Returns true when an event was appended.
    bool Record(std::vector<MacroItem>& items, std::uint32_t usage, bool pressed, int mode,
                std::uint32_t fixedDelay, std::int64_t nowMs);

    std::int64_t LastEventTime() const { return lastEventTime_; }

  private:
    std::int64_t lastEventTime_ = -1;
};

}  // namespace keylume
