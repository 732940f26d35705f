#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Win32TestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/FilterEngine.h"
#include "platform/HidBus.h"
#include "platform/ThreadTuning.h"
#include "platform/win32/FilterDeviceWin32.h"
#include "support/Portable.h"

namespace keylume {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class AtomicSaveWin32 : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(folder_.empty()); }
    void TearDown() override {
        for (auto& entry : fs::recursive_directory_iterator(folder_))
            ::SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(folder_);
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path folder_ = test::MakeTempFolder("keylume-save");
};

TEST_F(AtomicSaveWin32, ReplacesAFileOnAWidePathAndKeepsItsHiddenMark) {
    // A folder and a file named in Chinese: the path must stay wide all the way down.
    const fs::path sub = folder_ / fs::path(L"\u8bbe\u7f6e");
    fs::create_directory(sub);
    const fs::path file = sub / fs::path(L"\u5b8f.xml");
    std::string error;
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, "<a/>", error)) << error;
    EXPECT_EQ(Read(file), "<a/>");
    ::SetFileAttributesW(file.wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, "<b/>", error)) << error;
    EXPECT_EQ(Read(file), "<b/>");
    EXPECT_TRUE(::GetFileAttributesW(file.wstring().c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(fs::directory_iterator(sub)->path().filename(), file.filename())
        << "no temporary file left";
}

TEST_F(AtomicSaveWin32, RefusesWhatItMustNotReplaceAndLeavesNoTrace) {
    struct Case {
        const char* name;
        void (*prepare)(const fs::path&);
        const char* reason;
    };
    const Case cases[] = {
        {"readonly.xml",
         [](const fs::path& p) {
             std::ofstream(p) << "old";
             ::SetFileAttributesW(p.wstring().c_str(), FILE_ATTRIBUTE_READONLY);
         },
         "read-only"},
        {"folder.xml", [](const fs::path& p) { fs::create_directory(p); }, "directory"},
    };
    for (const Case& c : cases) {
        const fs::path path = folder_ / c.name;
        c.prepare(path);
        std::string error;
        EXPECT_FALSE(platform::ReplaceFileAtomically(path, "new", error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_EQ(Read(folder_ / "readonly.xml"), "old");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.xml", "readonly.xml"}));

    std::string error;
    EXPECT_FALSE(platform::ReplaceFileAtomically(folder_ / "missing" / "x.xml", "new", error));
    EXPECT_NE(error.find("error 3"), std::string::npos) << "the system's words: " << error;
}

TEST(FilterDeviceWin32, WithoutTheFilterDriverNothingOpens) {
    platform::win32::FilterDeviceWin32 filter;
    if (filter.Open(platform::kFilterControlPath, platform::kAccessRead) != nullptr)
        GTEST_SKIP() << "a keyboard filter is installed here";
    EXPECT_EQ(filter.Open("\\\\.\\no-such-device", platform::kAccessRead), nullptr);
}

// One millisecond sleeps stay near one millisecond, not the 15.6 ms system tick.
TEST(TimingWin32, OneMillisecondStepsStayShort) {
    platform::LowerTimerSlackOfThisThread();
    constexpr int kSteps = 200;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSteps; ++i)
        platform::SleepPrecisely(1ms);
    const auto perStep = (std::chrono::steady_clock::now() - start) / kSteps;
    RecordProperty(
        "microseconds_per_1ms_step",
        static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(perStep).count()));
    EXPECT_GE(perStep, 1ms);
    EXPECT_LT(perStep, 8ms) << "a tick-bound sleep takes about 15.6 ms";
}

}  // namespace
}  // namespace keylume
