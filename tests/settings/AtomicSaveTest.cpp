#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SideLightStore.h"
#include "platform/Trace.h"

namespace keylume {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// fork, kill and POSIX permissions: the Windows save has tests of its own.
#ifndef _WIN32
MacroStore BigLibrary(std::uint32_t tag) {
    MacroStore store;
    store.repeat = static_cast<int>(tag);
    for (int g = 0; g < 40; ++g) {
        MacroGroup group{L"Group " + std::to_wstring(g), {}};
        for (std::uint32_t i = 0; i < 100; ++i)
            group.items.push_back({0x70004 + i, i % 2, tag, L"key"});
        store.groups.push_back(std::move(group));
    }
    return store;
}

// A child saves two different libraries in turn until it is killed; whenever the kill lands, the
// file holds one of the two whole.
TEST(AtomicSave, AKillDuringASaveLeavesTheOldOrTheNewFile) {
    TempFolder folder;
    auto path = folder.File("macro.xml");
    MacroStore first = BigLibrary(1);
    MacroStore second = BigLibrary(2);
    first.Load(path);
    second.Load(path);
    ASSERT_TRUE(first.Save());
    const std::string firstText = first.ToXml();
    const std::string secondText = second.ToXml();

    // Kill points spread over a few saves, however fast saves are on this machine.
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(second.Save());
    ASSERT_TRUE(first.Save());
    auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start) /
                    2;
    std::mt19937 random(12345);
    int sawSecond = 0;
    for (int round = 0; round < 25; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            for (int i = 0;; ++i) {
                (i % 2 ? first : second).Save();
                if (i == 0) {
                    char done = 1;
                    (void)!::write(ready[1], &done, 1);
                }
            }
        }
        ::close(ready[1]);
        // Once the first save is done the kill may land anywhere in the following ones.
        char done = 0;
        ASSERT_EQ(::read(ready[0], &done, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(saveTime * (random() % 300) / 100);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        std::string now = ReadFile(path);
        ASSERT_TRUE(now == firstText || now == secondText)
            << "round " << round << ": " << now.size() << " bytes";
        sawSecond += now == secondText;
        MacroStore reread;
        ASSERT_TRUE(reread.Load(path));
        EXPECT_EQ(reread.groups.size(), 40u);
    }
    EXPECT_GT(sawSecond, 0) << "no kill landed before the second save was done";
}

#endif

struct TraceCapture {
    TraceCapture() {
        platform::Trace::SetSink([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~TraceCapture() { platform::Trace::SetSink(nullptr); }
    std::vector<std::string> lines;
};

TEST(AtomicSave, AFailedSaveIsTracedAndLeavesMemoryAndDiskAlone) {
    TempFolder folder;
    TraceCapture trace;

    // A directory where the file should be.
    auto dir = folder.File("record.xml");
    std::filesystem::create_directory(dir);
    WriteFile(dir / "inside", "x");
    RecordStore records;
    EXPECT_FALSE(records.Load(dir));
    records.AddOrReplace({0x70004, 0, 1, 1, L"A", L"", {}});
    EXPECT_EQ(records.Snapshot()->size(), 1u) << "memory keeps the change";
    EXPECT_FALSE(records.Save());
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_EQ(ReadFile(dir / "inside"), "x");

    // A read-only file.
    auto readOnly = folder.File("sidemodel.xml");
    WriteFile(readOnly, "<effect sel='3'/>");
    std::filesystem::permissions(
        readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    SideLightStore side;
    ASSERT_TRUE(side.Load(readOnly));
    side.SetSel(5);
    EXPECT_EQ(side.Sel(), 5);
    EXPECT_EQ(ReadFile(readOnly), "<effect sel='3'/>");

    // A folder that does not exist.
    MacroStore macros;
    macros.Load(folder.File("missing") / "macro.xml");
    EXPECT_FALSE(macros.Save());

    EXPECT_EQ(folder.OtherEntries("").size(), 2u) << "no temporary file is left behind";
    ASSERT_GE(trace.lines.size(), 4u);
    for (const std::string& line : trace.lines) {
        EXPECT_NE(line.find(" settings save "), std::string::npos) << line;
    }
}

#ifndef _WIN32
TEST(AtomicSave, TheReplacedFileKeepsItsPermissionsAndItsLink) {
    TempFolder folder;
    auto real = folder.File("real.xml");
    auto link = folder.File("ledeffect.xml");
    WriteFile(real, "<effect sel='3'/>");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink(real, link);
    LedEffectStore store;
    ASSERT_TRUE(store.Load(link));
    store.SetSel(7);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadFile(real).find("sel=\"7\""), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.OtherEntries("").size(), 2u);
}
#endif

}  // namespace
}  // namespace keylume
