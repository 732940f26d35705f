#include "platform/linux/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace keylume::platform {

namespace {

// Why `path` is not a private folder of ours; empty when it is. lstat, so that a link planted in
// place of the folder is seen as what it is.
std::string WhyNotPrivate(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return path + ": " + std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return path + " is a symbolic link";
    if (!S_ISDIR(st.st_mode))
        return path + " is not a folder";
    if (st.st_uid != ::getuid())
        return path + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    if ((st.st_mode & 077) != 0) {
        char mode[16];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return path + " is open to other users (mode " + mode + ")";
    }
    return {};
}

}  // namespace

RuntimeFolderChoice FindUserRuntimeFolder() {
    std::string xdgProblem;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && xdg[0] != '\0') {
        if (xdg[0] != '/') {
            xdgProblem = "$XDG_RUNTIME_DIR is not an absolute path";
        } else {
            const std::string why = WhyNotPrivate(xdg);
            if (why.empty())
                return {xdg, {}};
            xdgProblem = "$XDG_RUNTIME_DIR: " + why;
        }
    }
    const std::string fallback = "/tmp/keylume-" + std::to_string(::getuid());
    std::string problem;
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        problem = "cannot make " + fallback + ": " + std::strerror(errno);
    else
        problem = WhyNotPrivate(fallback);
    if (problem.empty())
        return {fallback, {}};
    problem +=
        xdgProblem.empty() ? std::string(" ($XDG_RUNTIME_DIR is not set)") : "; " + xdgProblem;
    return {{}, problem};
}

std::string UserRuntimeFolder() {
    return FindUserRuntimeFolder().path;
}

}  // namespace keylume::platform
