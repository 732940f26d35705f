#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "support/Portable.h"

#include <gtest/gtest.h>

namespace keylume::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        path_ = MakeTempFolder("keylume-settings");
        if (path_.empty())
            ADD_FAILURE() << "no temporary folder";
    }
    ~TempFolder() {
        std::error_code ec;
        // A test may have left a read-only file or folder behind.
        for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path File(std::string_view name) const { return path_ / std::string(name); }

    // Names in the folder other than `keep`: what a save may have left behind.
    std::vector<std::string> OtherEntries(std::string_view keep) const {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::directory_iterator(path_)) {
            auto name = entry.path().filename().string();
            if (name != keep)
                names.push_back(name);
        }
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace keylume::test
