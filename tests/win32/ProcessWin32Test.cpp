#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "Win32TestSupport.h"
#include "platform/win32/ProcessWin32.h"
#include "platform/win32/Win32Util.h"
#include "support/Portable.h"

namespace keylume {
namespace {

using platform::win32::InstanceMutex;
using platform::win32::Narrow;
using platform::win32::ProcessRunnerWin32;
using platform::win32::ProgramFolderWin32;

// Run as a child: writes the command line it was given to the file the parent names, and ends
// with exit code 7.
TEST(ProcessWin32, DISABLED_ChildEchoesItsCommandLine) {
    wchar_t out[1024] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"KEYLUME_ECHO_FILE", out, 1024), 0u);
    std::ofstream(out, std::ios::binary) << Narrow(::GetCommandLineW());
    std::fflush(nullptr);
    ::ExitProcess(7);
}

TEST(ProcessWin32, RunsTheToolWithItsCommandLineByteForByteAndWaits) {
    const auto folder = test::MakeTempFolder("keylume-process");
    ASSERT_FALSE(folder.empty());
    const auto echo = folder / "echo.txt";
    ::SetEnvironmentVariableW(L"KEYLUME_ECHO_FILE", echo.wstring().c_str());

    ProcessRunnerWin32 runner;
    // The driver tool's command lines start with a blank and quote the setup file's path.
    const std::string commandLine =
        " --gtest_also_run_disabled_tests "
        "--gtest_filter=ProcessWin32.DISABLED_ChildEchoesItsCommandLine"
        " install \"C:\\Program Files\\kb\\driver\\x64\\vhidflt.inf\" root\\vhidev";
    ASSERT_TRUE(runner.RunAndWait(Narrow(test::OwnExecutable()), commandLine));
    EXPECT_EQ(runner.LastExitCode(), 7);
    std::string seen;
    {
        std::ifstream in(echo, std::ios::binary);
        seen.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(seen, commandLine) << "the blank in front and the quotes arrive as they were";
    ::SetEnvironmentVariableW(L"KEYLUME_ECHO_FILE", nullptr);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

TEST(ProcessWin32, AToolThatIsMissingIsReportedAsNotStarted) {
    ProcessRunnerWin32 runner;
    EXPECT_FALSE(runner.RunAndWait("C:\\no\\such\\folder\\devcon.exe", " remove root\\vhidev"));
    EXPECT_EQ(runner.LastExitCode(), -1);
}

TEST(ProcessWin32, TheProgramFolderIsTheExecutablesFolder) {
    ProgramFolderWin32 folder;
    const std::string exe = Narrow(test::OwnExecutable());
    const std::string dir = folder.ExecutableFolder();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(exe.rfind(dir + "\\", 0), 0u) << exe << " in " << dir;
    EXPECT_EQ(exe.find('\\', dir.size() + 1), std::string::npos) << "no trailing backslash";
    EXPECT_EQ(folder.Separator(), '\\');
    EXPECT_TRUE(folder.IsFile(exe));
    EXPECT_FALSE(folder.IsFile(dir)) << "a folder is not a file";
    EXPECT_FALSE(folder.IsFile(dir + "\\no-such-file.inf"));
    EXPECT_TRUE(folder.Is64BitHost()) << "a 64-bit program runs on a 64-bit host";
}

TEST(ProcessWin32, TheSecondInstanceMutexFindsTheFirst) {
    const std::string name = "KeylumeTestInstance-" + std::to_string(::GetCurrentProcessId());
    auto first = std::make_unique<InstanceMutex>(name);
    EXPECT_FALSE(first->AnotherInstanceRuns());
    {
        InstanceMutex second(name);
        EXPECT_TRUE(second.AnotherInstanceRuns());
    }
    first.reset();
    InstanceMutex again(name);
    EXPECT_FALSE(again.AnotherInstanceRuns()) << "gone with the first instance";
}

}  // namespace
}  // namespace keylume
