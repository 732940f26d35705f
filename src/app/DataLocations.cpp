#include "app/DataLocations.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace keylume {

DataLocations ResolveDataLocations(const DataLocationInputs& in) {
    const std::filesystem::path exe = in.executableFolder;
    const std::filesystem::path share = (exe / ".." / "share" / "keylume").lexically_normal();
    DataLocations out;
    if (in.exists(exe / "uires")) {
        out.resourceBase = exe;
        out.config = exe / "config.xml";
        out.settings = exe;
        out.driverFolder = exe / "driver";
    } else {
        out.installed = true;
        out.resourceBase = share;
        out.driverFolder = (exe / ".." / "libexec" / "keylume").lexically_normal();
        std::filesystem::path configHome;
        if (!in.xdgConfigHome.empty() && in.xdgConfigHome.front() == '/')
            configHome = in.xdgConfigHome;
        else if (!in.home.empty())
            configHome = std::filesystem::path(in.home) / ".config";
        out.settings = configHome.empty() ? std::filesystem::path() : configHome / "keylume";
        const std::filesystem::path own = out.settings / "config.xml";
        out.config = !out.settings.empty() && in.exists(own) ? own : share / "config.xml";
    }
    if (!in.dataDir.empty()) {
        out.settings = in.dataDir;
        out.config = in.dataDir / "config.xml";
        out.installed = false;
    }
    return out;
}

DataLocations ResolveDataLocations(const std::filesystem::path& executableFolder,
                                   const std::filesystem::path& dataDir) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    return ResolveDataLocations({executableFolder, dataDir, xdg ? xdg : "", home ? home : "",
                                 [](const std::filesystem::path& p) {
                                     std::error_code ec;
                                     return std::filesystem::exists(p, ec);
                                 }});
}

std::string CreatePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty())
        return "no folder for the settings: neither XDG_CONFIG_HOME nor HOME is set";
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot create the settings folder " + made.string() + ": " +
                   std::strerror(errno);
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "the settings folder " + folder.string() + " is not a folder";
    return {};
}

}  // namespace keylume
