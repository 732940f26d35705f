#pragma once

#include <functional>
#include <optional>
#include <string>

namespace keylume::platform {

// What the location check needs to know of one path (from lstat).
struct PathOwner {
    bool isLink = false;
    bool isDirectory = false;
    bool isRegularFile = false;
    unsigned uid = 0;
    unsigned mode = 0;  // permission bits
};

// Looks one path up without following a link; nothing when it cannot be looked up (errno set).
using PathLookUp = std::function<std::optional<PathOwner>(const std::string& path)>;
PathLookUp SystemPathLookUp();

// Why `file` may not be run with root's rights; empty when it may. It may when the file and
// every folder above it, up to "/", belong to root and neither their group nor others may write
// them: only then can no other program of the user swap the file (or a folder on its way) before
// it runs. The path must be absolute, without "." or ".." parts and without links.
std::string WhyNotRootOnly(const std::string& file, const PathLookUp& lookUp = SystemPathLookUp());

}  // namespace keylume::platform
