#pragma once

#include <string>

namespace keylume::platform {

// Where the user's private runtime folder is, or why there is none.
struct RuntimeFolderChoice {
    std::string path;     // empty when no safe folder can be had
    std::string problem;  // what is wrong, in words for the user; empty when `path` is set
};

// The user's private runtime folder: $XDG_RUNTIME_DIR when it is a directory of ours, else
// /tmp/keylume-<uid>, created with mode 0700. A path that is a link, belongs to someone else or is
// open to others is refused: a folder another user can reach would let them hold our locks or
// answer on our socket.
RuntimeFolderChoice FindUserRuntimeFolder();

// The folder of FindUserRuntimeFolder, or an empty string when no safe folder can be had.
std::string UserRuntimeFolder();

}  // namespace keylume::platform
