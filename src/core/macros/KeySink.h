#pragma once

#include <cstdint>

namespace keylume {

// Where playback and remapping type keys: the virtual keyboard. PressUsage changes one usage of
// the keyboard's state and sends the changed report; it returns non-zero when something was sent.
// Threads: called from the filter reader thread and the playback thread at once; the sink applies
// each change whole.
class KeySink {
  public:
    virtual ~KeySink() = default;
    virtual int PressUsage(std::uint16_t usagePage, std::uint16_t usage, bool pressed) = 0;
};

}  // namespace keylume
