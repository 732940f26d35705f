#include "platform/linux/RootOnlyPath.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace keylume::platform {

PathLookUp SystemPathLookUp() {
    return [](const std::string& path) -> std::optional<PathOwner> {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return std::nullopt;
        return PathOwner{S_ISLNK(st.st_mode), S_ISDIR(st.st_mode), S_ISREG(st.st_mode),
                         static_cast<unsigned>(st.st_uid),
                         static_cast<unsigned>(st.st_mode & 07777)};
    };
}

std::string WhyNotRootOnly(const std::string& file, const PathLookUp& lookUp) {
    if (file.empty() || file.front() != '/')
        return file + " is not an absolute path";
    // Every part must name itself: "." and ".." or doubled slashes would hide which folder is
    // meant.
    for (std::size_t at = 1; at <= file.size();) {
        const std::size_t end = std::min(file.find('/', at), file.size());
        const std::string part = file.substr(at, end - at);
        if (part.empty() || part == "." || part == "..")
            return file + " is not a plain path";
        at = end + 1;
    }

    std::string path = file;
    for (bool first = true;; first = false) {
        errno = 0;
        const auto owner = lookUp(path);
        if (!owner)
            return path + ": " + (errno != 0 ? std::strerror(errno) : "cannot be looked up");
        if (owner->isLink)
            return path + " is a symbolic link";
        if (first ? !owner->isRegularFile : !owner->isDirectory)
            return path + (first ? " is not a file" : " is not a folder");
        if (owner->uid != 0)
            return path + " belongs to user " + std::to_string(owner->uid) + ", not to root";
        if ((owner->mode & 022) != 0) {
            char mode[16];
            std::snprintf(mode, sizeof mode, "%04o", owner->mode & 07777);
            return path + " can be changed by users other than root (mode " + mode + ")";
        }
        if (path == "/")
            return {};
        const auto slash = path.rfind('/');
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
}

}  // namespace keylume::platform
