#include "core/drivers/DriverInstaller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimVirtualKeyboard.h"

namespace keylume {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

class FakeRunner final : public platform::ProcessRunner {
  public:
    bool RunAndWait(std::string_view application, std::string_view commandLine) override {
        runs.emplace_back(application, commandLine);
        if (!starts)
            return false;
        if (onRun)
            onRun(commandLine);
        return true;
    }
    std::vector<std::pair<std::string, std::string>> runs;
    bool starts = true;
    std::function<void(std::string_view)> onRun;
};

class FakeFolder final : public platform::ProgramFolder {
  public:
    std::string ExecutableFolder() const override { return exe; }
    bool Is64BitHost() const override { return is64; }
    bool IsFile(std::string_view path) const override { return files.count(std::string(path)); }
    char Separator() const override { return separator; }

    std::string exe = "C:\\Tools";
    bool is64 = true;
    char separator = '\\';
    std::set<std::string> files;
};

class DriverInstallerTest : public ::testing::Test {
  protected:
    DriverInstallation With(const DriverTool& tool = WindowsDriverTool()) {
        return DriverInstallation{vhidev, bus, runner, folder, tool};
    }
    // The installation makes the virtual keyboard appear.
    void InstallAttaches() {
        runner.onRun = [this](std::string_view line) {
            if (line.find("install") != std::string_view::npos)
                bus.Attach(std::make_shared<platform::SimVirtualKeyboard>());
        };
    }

    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus{broadcasts};
    VHidev vhidev;
    FakeRunner runner;
    FakeFolder folder;
};

TEST_F(DriverInstallerTest, PresentDeviceNeedsNoTool) {
    bus.Attach(std::make_shared<platform::SimVirtualKeyboard>());
    EXPECT_TRUE(EnsureVirtualKeyboard(With()));
    EXPECT_THAT(runner.runs, IsEmpty());
    EXPECT_TRUE(vhidev.IsOpen());
}

struct InstallCase {
    const char* name;
    bool is64;
    std::set<std::string> files;
    std::string folderArgument;
    std::string removeTool;
    std::string installTool;
    std::string installLine;

    friend void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }
};

class InstallTest : public DriverInstallerTest,
                    public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallTest, RemovesThenInstallsWithTheRightFiles) {
    const auto& c = GetParam();
    folder.is64 = c.is64;
    folder.files = c.files;
    InstallAttaches();
    EXPECT_TRUE(EnsureVirtualKeyboard(With(), c.folderArgument));
    EXPECT_THAT(runner.runs, ElementsAre(Pair(c.removeTool, " remove root\\vhidev"),
                                         Pair(c.installTool, c.installLine)));
    EXPECT_TRUE(vhidev.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallTest,
    ::testing::Values(InstallCase{"BothInfs64",
                                  true,
                                  {"C:\\Tools\\driver\\x64\\vhidflt.inf",
                                   "C:\\Tools\\driver\\x64\\vhidev.inf"},
                                  "",
                                  "C:\\Tools\\driver\\x64\\devcon.exe",
                                  "C:\\Tools\\driver\\x64\\devcon.exe",
                                  " install \"C:\\Tools\\driver\\x64\\vhidflt.inf\" root\\vhidev"},
                      InstallCase{"OnlyVhidev",
                                  true,
                                  {"C:\\Tools\\driver\\x64\\vhidev.inf"},
                                  "",
                                  "C:\\Tools\\driver\\x64\\devcon.exe",
                                  "C:\\Tools\\driver\\x64\\devcon.exe",
                                  " install \"C:\\Tools\\driver\\x64\\vhidev.inf\" root\\vhidev"},
                      InstallCase{"ThirtyTwoBit",
                                  false,
                                  {"C:\\Tools\\driver\\x86\\vhidflt.inf"},
                                  "",
                                  "C:\\Tools\\driver\\x86\\devcon.exe",
                                  "C:\\Tools\\driver\\x86\\devcon.exe",
                                  " install \"C:\\Tools\\driver\\x86\\vhidflt.inf\" root\\vhidev"},
                      InstallCase{"FolderArgumentOnlyForTheInstall",
                                  true,
                                  {"D:\\drv\\vhidflt.inf"},
                                  "D:\\drv",
                                  "C:\\Tools\\driver\\x64\\devcon.exe",
                                  "D:\\drv\\devcon.exe",
                                  " install \"D:\\drv\\vhidflt.inf\" root\\vhidev"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DriverInstallerTest, ToolThatCannotStartGivesFalse) {
    runner.starts = false;
    EXPECT_FALSE(EnsureVirtualKeyboard(With()));
    EXPECT_EQ(runner.runs.size(), 2u);
    EXPECT_FALSE(vhidev.IsOpen());
}

TEST_F(DriverInstallerTest, InstallThatBringsNoDeviceGivesFalse) {
    EXPECT_FALSE(EnsureVirtualKeyboard(With()));
    EXPECT_EQ(runner.runs.size(), 2u);
}

TEST_F(DriverInstallerTest, ReopensAnOpenDeviceAfterReleasingIt) {
    auto vkbd = std::make_shared<platform::SimVirtualKeyboard>();
    bus.Attach(vkbd);
    ASSERT_TRUE(vhidev.FindDevice(bus));
    vhidev.PressUsage(7, 4, true);
    EXPECT_TRUE(EnsureVirtualKeyboard(With()));
    EXPECT_TRUE(vkbd->NothingHeld());
}

TEST_F(DriverInstallerTest, LinuxToolInstallsItsOwnRuleWithoutAFile) {
    folder.exe = "/opt/keylume";
    folder.separator = '/';
    folder.files = {"/opt/keylume/driver/70-keylume.rules"};  // a file beside it is not passed on
    InstallAttaches();
    EXPECT_TRUE(EnsureVirtualKeyboard(With(LinuxDriverTool())));
    EXPECT_THAT(runner.runs,
                ElementsAre(Pair("/opt/keylume/driver/keylume-driver-setup", " install")));
}

TEST_F(DriverInstallerTest, NothingRunsWithoutLeave) {
    InstallAttaches();
    std::vector<std::string> asked;
    auto with = With();
    with.mayRun = [&](const std::string& tool) {
        asked.push_back(tool);
        return false;
    };
    EXPECT_FALSE(EnsureVirtualKeyboard(with, "D:\\drv"));
    EXPECT_THAT(runner.runs, IsEmpty());
    EXPECT_THAT(asked, ElementsAre("D:\\drv\\devcon.exe"));  // the tool that would install

    // A present device needs no leave and no question.
    bus.Attach(std::make_shared<platform::SimVirtualKeyboard>());
    asked.clear();
    EXPECT_TRUE(EnsureVirtualKeyboard(with));
    EXPECT_THAT(asked, IsEmpty());
}

TEST_F(DriverInstallerTest, RunAndWaitRefusesAnEmptyApplication) {
    EXPECT_FALSE(RunAndWait(runner, "", " remove"));
    EXPECT_THAT(runner.runs, IsEmpty());
    EXPECT_TRUE(RunAndWait(runner, "tool", " x"));
}

TEST_F(DriverInstallerTest, DefaultFolderFollowsTheHost) {
    EXPECT_EQ(DefaultDriverFolder(folder, WindowsDriverTool()), "C:\\Tools\\driver\\x64");
    folder.is64 = false;
    EXPECT_EQ(DefaultDriverFolder(folder, WindowsDriverTool()), "C:\\Tools\\driver\\x86");
}

}  // namespace
}  // namespace keylume
