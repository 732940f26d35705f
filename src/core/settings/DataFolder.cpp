#include "core/settings/DataFolder.h"

#include <mutex>
#include <string>

#include "platform/DataFiles.h"
#include "platform/Trace.h"

namespace keylume {

namespace {

std::mutex folderMutex;
std::filesystem::path folder;
bool folderSet = false;

}  // namespace

void SetDataFolder(std::filesystem::path path) {
    std::lock_guard lock(folderMutex);
    folder = std::move(path);
    folderSet = true;
}

std::filesystem::path DataFolder() {
    std::lock_guard lock(folderMutex);
    if (folderSet)
        return folder;
    std::error_code ec;
    auto current = std::filesystem::current_path(ec);
    return ec ? std::filesystem::path(".") : current;
}

std::filesystem::path DataFilePath(std::string_view fileName) {
    return DataFolder() / std::filesystem::path(std::string(fileName));
}

void RemoveStrayTemporaryFiles() {
    for (const auto& path : platform::RemoveStrayTemporaryFiles(DataFolder(), kStoreFileNames))
        platform::Trace::Write("settings", "removed stray temporary file " + path.string());
}

}  // namespace keylume
