#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/settings/MacroItem.h"

namespace keylume {

// One key binding in force: what the key with `code` does.
struct KeyRecord {
    // The bound key: usage page << 16 | usage id.
    std::uint32_t code = 0;
    // 0 macro, 1 single key, 2 media key, 3 function key (key combination).
    int type = 0;
    // Play mode: 1 remap, 2 count, 3 while held, 4 toggle, 5 until other key, 6 until any key,
    // 8 stop only.
    int play = 0;
    // Repeat count for the count play mode.
    int repeat = 0;
    // Display name of the bound key.
    std::wstring name;
    // What the key was bound to: macro group, single key, media or function entry name.
    std::wstring group;
    // The key events to send.
    std::vector<MacroItem> items;

    bool operator==(const KeyRecord&) const = default;
};

}  // namespace keylume
