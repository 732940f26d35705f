#pragma once

#include <filesystem>
#include <string_view>

namespace keylume {

// The folder that holds config.xml and the four settings files. Start-up sets it once, before the
// first store is loaded: the program folder, or the folder given with --data-dir. Until then it is
// the working directory, which start-up makes the program folder.
// Threads: any.
void SetDataFolder(std::filesystem::path folder);
std::filesystem::path DataFolder();

// DataFolder() / fileName, e.g. DataFilePath("macro.xml").
std::filesystem::path DataFilePath(std::string_view fileName);

// The files the stores write (config.xml is only read).
inline constexpr std::string_view kStoreFileNames[] = {"macro.xml", "record.xml", "sidemodel.xml",
                                                       "ledeffect.xml"};

// Removes from the data folder the temporary files that saves of a process that no longer exists
// left behind (a kill in the middle of a save), and traces each one. Start-up calls it before the
// stores are read.
void RemoveStrayTemporaryFiles();

}  // namespace keylume
