#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/FilterEngine.h"
#include "platform/sim/SimVirtualKeyboard.h"

namespace keylume::platform {

// The emulated keyboard filter: the filter's control device on top of the built-in keyboard.
// Key events of the emulated keyboard come in through InjectKey (tests, scenario scripts, the
// simulator window); the bound keys (all keys after a capture request) go to the program, the rest
// reach the system, and the filter keeps a record of what the system got (also written to the
// trace as "system key <usage code> down|up").
// Threads: any.
class SimFilter final : public FilterDevice {
  public:
    // `system` (may be null) also receives what reached the system, in order with the virtual
    // keyboard's input when it is given the same object.
    explicit SimFilter(SimSystemInput* system = nullptr);

    std::unique_ptr<FilterHandle> Open(std::string_view path, std::uint32_t access) override;

    // A key of the emulated keyboard goes down or up. True when it was withheld from the system
    // (the program has it).
    bool InjectKey(std::uint16_t page, std::uint16_t usage, bool pressed);
    // Down and up.
    void TapKey(std::uint16_t page, std::uint16_t usage);

    // The key events that reached the system, in order.
    std::vector<SimKeyTransition> SystemKeys() const;
    std::string SystemText() const;

    const FilterEngine& Engine() const { return engine_; }

  private:
    SimSystemInput* const system_;
    mutable std::mutex mutex_;
    std::vector<SimKeyTransition> systemKeys_;
    FilterEngine engine_;
};

}  // namespace keylume::platform
