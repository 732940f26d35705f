#pragma once

#include <cstdint>
#include <string>

namespace keylume {

// One key event of a macro or a key binding.
struct MacroItem {
    // usage page << 16 | usage id (page 7 keyboard, 12 consumer, 1 generic desktop).
    std::uint32_t code = 0;
    // 1 pressed, 0 released.
    std::uint32_t state = 0;
    // Milliseconds to wait after this event before the next one.
    std::uint32_t delay = 0;
    // Display name of the key.
    std::wstring name;

    bool operator==(const MacroItem&) const = default;
};

}  // namespace keylume
