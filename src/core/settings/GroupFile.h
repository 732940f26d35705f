#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/settings/MacroGroup.h"

namespace keylume {

// Macro groups exchanged as files in the library's own format: <macro> holding one <group> per
// group with its <item> events, as in macro.xml but without the editor's choices.

// The file's text for `groups`.
std::string GroupFileText(const std::vector<MacroGroup>& groups);

// The groups of a file. False, with `groups` left empty, when the text is not XML, has no
// <macro> element, holds no group, or holds anything but groups of items.
bool ReadGroupFile(std::string_view text, std::vector<MacroGroup>& groups);

}  // namespace keylume
