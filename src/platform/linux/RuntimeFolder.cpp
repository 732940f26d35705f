#include "platform/linux/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace keylume::platform {

namespace {

// lstat, so that a link planted in place of the folder is seen as what it is.
bool IsPrivateFolderOfOurs(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

std::string UserRuntimeFolder() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && xdg[0] == '/') {
        if (IsPrivateFolderOfOurs(xdg))
            return xdg;
    }
    const std::string fallback = "/tmp/keylume-" + std::to_string(::getuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolderOfOurs(fallback) ? fallback : std::string{};
}

}  // namespace keylume::platform
