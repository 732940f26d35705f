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

}  // namespace keylume
