#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "app/DataLocations.h"

namespace keylume {
namespace {

namespace fs = std::filesystem;

DataLocationInputs Inputs(fs::path exe, std::set<fs::path> present, std::string xdg = "",
                          std::string home = "/home/ann", fs::path dataDir = {}) {
    return {std::move(exe), std::move(dataDir), std::move(xdg), std::move(home),
            [present](const fs::path& p) { return present.count(p) != 0; }};
}

TEST(DataLocations, AProgramWithItsResourcesBesideItKeepsEverythingInItsFolder) {
    const auto at = ResolveDataLocations(
        Inputs("/opt/kl", {"/opt/kl/uires", "/home/ann/.config/keylume/config.xml"}));
    EXPECT_FALSE(at.installed);
    EXPECT_EQ(at.resourceBase, "/opt/kl");
    EXPECT_EQ(at.config, "/opt/kl/config.xml");
    EXPECT_EQ(at.settings, "/opt/kl");
    EXPECT_EQ(at.driverFolder, "/opt/kl/driver");
}

TEST(DataLocations, AnInstalledCopyReadsItsShareFolderAndKeepsSettingsInTheConfigFolder) {
    struct Case {
        std::string xdg, home;
        std::set<fs::path> present;
        fs::path settings, config;
    };
    const Case cases[] = {
        // XDG_CONFIG_HOME wins; a relative one is ignored as the base directory rules say.
        {"/x/cfg", "/home/ann", {}, "/x/cfg/keylume", "/pfx/share/keylume/config.xml"},
        {"", "/home/ann", {}, "/home/ann/.config/keylume", "/pfx/share/keylume/config.xml"},
        {"rel/cfg", "/home/ann", {}, "/home/ann/.config/keylume", "/pfx/share/keylume/config.xml"},
        // The user's own config.xml overrides the shipped one.
        {"/x/cfg",
         "/home/ann",
         {"/x/cfg/keylume/config.xml"},
         "/x/cfg/keylume",
         "/x/cfg/keylume/config.xml"},
        // Nowhere to keep settings: the shipped config is still read, the folder is empty.
        {"", "", {}, "", "/pfx/share/keylume/config.xml"},
    };
    for (const auto& c : cases) {
        const auto at = ResolveDataLocations(Inputs("/pfx/bin", c.present, c.xdg, c.home));
        EXPECT_TRUE(at.installed) << c.xdg;
        EXPECT_EQ(at.resourceBase, "/pfx/share/keylume");
        EXPECT_EQ(at.driverFolder, "/pfx/libexec/keylume");
        EXPECT_EQ(at.settings, c.settings) << c.xdg << "|" << c.home;
        EXPECT_EQ(at.config, c.config) << c.xdg << "|" << c.home;
    }
}

TEST(DataLocations, DataDirOverridesBothLayoutsButNotWhereResourcesAre) {
    for (const bool portable : {true, false}) {
        std::set<fs::path> present{"/home/ann/.config/keylume/config.xml"};
        if (portable)
            present.insert("/pfx/bin/uires");
        const auto at =
            ResolveDataLocations(Inputs("/pfx/bin", present, "", "/home/ann", "/d/mine"));
        EXPECT_FALSE(at.installed);
        EXPECT_EQ(at.settings, "/d/mine");
        EXPECT_EQ(at.config, "/d/mine/config.xml");
        EXPECT_EQ(at.resourceBase, portable ? "/pfx/bin" : "/pfx/share/keylume");
    }
}

TEST(DataLocations, CreatesTheSettingsFolderAndItsParentsPrivate) {
    const fs::path base = fs::temp_directory_path() / ("kl-loc-" + std::to_string(::getpid()));
    fs::remove_all(base);
    const fs::path folder = base / "cfg" / "keylume";
    EXPECT_EQ(CreatePrivateFolder(folder), "");
    EXPECT_EQ(CreatePrivateFolder(folder), "");  // already there
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((base / "cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
    // A file where the folder should be is reported, not taken for a folder.
    const fs::path blocked = base / "file";
    { std::ofstream(blocked) << "x"; }
    EXPECT_NE(CreatePrivateFolder(blocked / "keylume"), "");
    EXPECT_NE(CreatePrivateFolder(blocked), "");
    EXPECT_NE(CreatePrivateFolder({}), "");
    fs::remove_all(base);
}

}  // namespace
}  // namespace keylume
