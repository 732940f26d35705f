#pragma once

#include "core/drivers/VHidev.h"
#include "core/macros/KeySink.h"

namespace keylume {

// Playback and remaps type through the virtual keyboard.
class VHidevSink final : public KeySink {
  public:
    explicit VHidevSink(VHidev& device) : device_(device) {}
    int PressUsage(std::uint16_t usagePage, std::uint16_t usage, bool pressed) override {
        return device_.PressUsage(usagePage, usage, pressed);
    }

  private:
    VHidev& device_;
};

}  // namespace keylume
