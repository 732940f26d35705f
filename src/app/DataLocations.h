#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace keylume {

// Where the program finds its resources and keeps the user's files.
struct DataLocations {
    std::filesystem::path resourceBase;  // the folder that holds "uires"
    std::filesystem::path config;        // the config.xml that is read
    std::filesystem::path settings;      // the folder of the four settings files
    std::filesystem::path driverFolder;  // the folder of the driver set-up tool
    bool installed = false;  // an installed copy: settings live in the user's config folder
};

// What the rule looks at, so that it can be decided without touching the machine.
struct DataLocationInputs {
    std::filesystem::path executableFolder;  // absolute
    std::filesystem::path dataDir;           // --data-dir made absolute; empty when not given
    std::string xdgConfigHome;               // $XDG_CONFIG_HOME (ignored unless absolute)
    std::string home;                        // $HOME
    std::function<bool(const std::filesystem::path&)> exists;
};

// A program with "uires" beside it (a build tree, a portable folder) keeps everything in its own
// folder. Otherwise it is an installed copy: resources and the shipped config.xml come from
// <exe>/../share/keylume, the driver set-up from <exe>/../libexec/keylume, and the settings files
// live in $XDG_CONFIG_HOME/keylume (default ~/.config/keylume), where a config.xml of the user's
// own overrides the shipped one. --data-dir puts config.xml and the settings files in that folder
// whichever way the program was found.
DataLocations ResolveDataLocations(const DataLocationInputs& in);

// The same, for this process: its own folder, the environment and the file system.
DataLocations ResolveDataLocations(const std::filesystem::path& executableFolder,
                                   const std::filesystem::path& dataDir);

// Creates the settings folder of an installed copy (and its missing parents) readable only by its
// owner. Returns an empty string on success, else what went wrong in words for the user.
std::string CreatePrivateFolder(const std::filesystem::path& folder);

}  // namespace keylume
