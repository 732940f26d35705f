#pragma once

#include <string>
#include <vector>

#include "core/settings/MacroItem.h"

namespace keylume {

// A named, ordered list of key events in the macro library. Names need not be unique.
struct MacroGroup {
    std::wstring name;
    std::vector<MacroItem> items;

    bool operator==(const MacroGroup&) const = default;
};

}  // namespace keylume
