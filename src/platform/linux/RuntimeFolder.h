#pragma once

#include <string>

namespace keylume::platform {

// The user's private runtime folder: $XDG_RUNTIME_DIR when it is a directory of ours, else
// /tmp/keylume-<uid>, created with mode 0700. A path that is a link, belongs to someone else or is
// open to others is refused. Returns an empty string when no safe folder can be had.
std::string UserRuntimeFolder();

}  // namespace keylume::platform
