// The pure parts of the Linux filter and virtual keyboard: they run on any kernel. The parts that
// need uinput and evdev nodes run in the VM stage.

#include <linux/input-event-codes.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "platform/FilterEngine.h"
#include "platform/linux/EvdevKeyRouter.h"
#include "platform/linux/LinuxProcess.h"
#include "platform/linux/LinuxProgramFolder.h"
#include "platform/linux/RootOnlyPath.h"
#include "platform/linux/UinputPacketTranslator.h"
#include "platform/linux/UsageTables.h"

namespace keylume::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Keyboard usages of the key name table that Linux has no key for: the error codes, non-US # (it
// is KEY_BACKSLASH there), the locking keys, the AS/400 equal sign (KEY_KPEQUAL is keypad =),
// Int'l 7-9, Lang 6-9, and the old terminal keys.
constexpr std::uint16_t kWithoutKey[] = {0x00, 0x01, 0x02, 0x03, 0x32, 0x82, 0x83, 0x84, 0x86,
                                         0x8D, 0x8E, 0x8F, 0x95, 0x96, 0x97, 0x98, 0x9A, 0x9D,
                                         0x9E, 0x9F, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4};
// Usages that share their key with the usage keyboards send for it.
constexpr std::pair<HidUsage, HidUsage> kShared[] = {
    {{7, 0x66}, {1, 0x81}},    // Power: system control
    {{7, 0x78}, {12, 0x226}},  // Stop: browser stop
    {{7, 0x7F}, {12, 0xE2}},   // Mute, volume up and down: consumer
    {{7, 0x80}, {12, 0xE9}},  {{7, 0x81}, {12, 0xEA}},
};

bool IsWithoutKey(std::uint16_t usage) {
    return std::find(std::begin(kWithoutKey), std::end(kWithoutKey), usage) !=
           std::end(kWithoutKey);
}

TEST(UsageTables, EveryKeyNameTableKeyboardUsageMapsAndMapsBack) {
    std::vector<std::uint16_t> usages;
    for (std::uint16_t u = 0x00; u <= 0xA4; ++u)
        usages.push_back(u);
    for (std::uint16_t u = 0xE0; u <= 0xE7; ++u)
        usages.push_back(u);
    for (const auto u : usages) {
        const HidUsage usage{7, u};
        const auto key = KeyCodeOfUsage(usage);
        if (IsWithoutKey(u)) {
            EXPECT_FALSE(key) << std::hex << u;
            continue;
        }
        ASSERT_TRUE(key) << std::hex << u;
        const auto back = UsageOfKeyCode(*key);
        ASSERT_TRUE(back) << std::hex << u;
        const auto shared = std::find_if(std::begin(kShared), std::end(kShared),
                                         [&](const auto& s) { return s.first == usage; });
        EXPECT_EQ(*back, shared == std::end(kShared) ? usage : shared->second) << std::hex << u;
    }
}

TEST(UsageTables, KnownKeysBothWays) {
    const std::pair<HidUsage, std::uint16_t> cases[] = {
        {{7, 0x04}, KEY_A},         {{7, 0x1D}, KEY_Z},        {{7, 0x27}, KEY_0},
        {{7, 0x28}, KEY_ENTER},     {{7, 0x45}, KEY_F12},      {{7, 0x59}, KEY_KP1},
        {{7, 0x62}, KEY_KP0},       {{7, 0xE3}, KEY_LEFTMETA}, {{12, 0xCD}, KEY_PLAYPAUSE},
        {{12, 0xE9}, KEY_VOLUMEUP}, {{12, 0x192}, KEY_CALC},   {{12, 0x223}, KEY_HOMEPAGE},
        {{1, 0x81}, KEY_POWER},     {{1, 0x82}, KEY_SLEEP},    {{1, 0x83}, KEY_WAKEUP},
    };
    for (const auto& [usage, key] : cases) {
        EXPECT_EQ(KeyCodeOfUsage(usage), key) << usage.page << ":" << std::hex << usage.usage;
        EXPECT_EQ(UsageOfKeyCode(key), usage) << key;
    }
    // Every consumer and system-control usage of the key name table that Linux has is there.
    for (const std::uint16_t u : {0xB5, 0xB6, 0xB7, 0xCD, 0xE2, 0xE5, 0xE9, 0xEA, 0x183, 0x18A,
                                  0x192, 0x194, 0x221, 0x223, 0x224, 0x225, 0x226, 0x227, 0x22A})
        EXPECT_TRUE(KeyCodeOfUsage({12, u})) << std::hex << u;
    EXPECT_FALSE(KeyCodeOfUsage({12, 0x152}));  // bass up: no key in Linux
    EXPECT_FALSE(UsageOfKeyCode(KEY_MAX));
    EXPECT_EQ(MouseButtonCodes()[0], BTN_LEFT);
    EXPECT_EQ(MouseButtonCodes()[1], BTN_RIGHT);
    EXPECT_EQ(MouseButtonCodes()[2], BTN_MIDDLE);
}

// --- Packets to input events -------------------------------------------------------------------

using Packet = std::array<std::uint8_t, 64>;

Packet Make(std::initializer_list<std::uint8_t> head) {
    Packet p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

constexpr InputEventSpec kSyn{EV_SYN, SYN_REPORT, 0};

TEST(UinputPacketTranslator, TurnsReportChangesIntoFrames) {
    UinputPacketTranslator t;
    // A pressed, then B added, then A released.
    EXPECT_THAT(t.Translate(Make({0x05, 0x01, 0x00, 0x10})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_A, 1}, kSyn));
    EXPECT_THAT(t.Translate(Make({0x05, 0x01, 0x00, 0x30})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_B, 1}, kSyn));
    EXPECT_THAT(t.Translate(Make({0x05, 0x01, 0x00, 0x20})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_A, 0}, kSyn));
    // The same state again changes nothing and sends no frame.
    EXPECT_THAT(t.Translate(Make({0x05, 0x01, 0x00, 0x20})), IsEmpty());

    // Consumer usage replaced: the old one is released first.
    EXPECT_THAT(t.Translate(Make({0x05, 0x03, 0xE9, 0x00})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_VOLUMEUP, 1}, kSyn));
    EXPECT_THAT(t.Translate(Make({0x05, 0x03, 0xCD, 0x00})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_VOLUMEUP, 0},
                            InputEventSpec{EV_KEY, KEY_PLAYPAUSE, 1}, kSyn));
    EXPECT_THAT(t.Translate(Make({0x05, 0x04, 0x82, 0x00})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_SLEEP, 1}, kSyn));

    // Mouse: buttons as keys, axes as relative moves (signed bytes).
    EXPECT_THAT(t.Translate(Make({0x05, 0x02, 0x01, 0xFF, 0x00, 0x01})),
                ElementsAre(InputEventSpec{EV_KEY, BTN_LEFT, 1}, InputEventSpec{EV_REL, REL_X, -1},
                            InputEventSpec{EV_REL, REL_WHEEL, 1}, kSyn));

    EXPECT_THAT(t.ReleaseAll(),
                ElementsAre(InputEventSpec{EV_KEY, KEY_B, 0}, InputEventSpec{EV_KEY, BTN_LEFT, 0},
                            InputEventSpec{EV_KEY, KEY_PLAYPAUSE, 0},
                            InputEventSpec{EV_KEY, KEY_SLEEP, 0}, kSyn));
    EXPECT_THAT(t.ReleaseAll(), IsEmpty());
}

TEST(UinputPacketTranslator, UsagesSharingAKeyHoldItUntilTheLastIsReleased) {
    // Keyboard Mute (usage 0x7F: data byte 16, bit 7) and consumer Mute (0xE2) are both KEY_MUTE.
    UinputPacketTranslator t;
    EXPECT_THAT(t.Translate(Make({0x05, 0x03, 0xE2, 0x00})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_MUTE, 1}, kSyn));
    Packet keyboardMute = Make({0x05, 0x01});
    keyboardMute[2 + 16] = 0x80;
    EXPECT_THAT(t.Translate(keyboardMute), IsEmpty()) << "already down";
    EXPECT_THAT(t.Translate(Make({0x05, 0x03, 0x00, 0x00})), IsEmpty()) << "still held";
    EXPECT_THAT(t.Translate(Make({0x05, 0x01})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_MUTE, 0}, kSyn));
    // Held again by one, then by both: one press, and one release at the end.
    EXPECT_THAT(t.Translate(keyboardMute), ElementsAre(InputEventSpec{EV_KEY, KEY_MUTE, 1}, kSyn));
    EXPECT_THAT(t.Translate(Make({0x05, 0x03, 0xE2, 0x00})), IsEmpty());
    EXPECT_THAT(t.ReleaseAll(), ElementsAre(InputEventSpec{EV_KEY, KEY_MUTE, 0}, kSyn));
    EXPECT_THAT(t.Translate(Make({0x05, 0x03, 0xE2, 0x00})),
                ElementsAre(InputEventSpec{EV_KEY, KEY_MUTE, 1}, kSyn))
        << "nothing counted from before the release";
}

TEST(UinputPacketTranslator, IgnoresMalformedPacketsAndKeysLinuxLacks) {
    UinputPacketTranslator t;
    EXPECT_THAT(t.Translate(Make({0x06, 0x01, 0x00, 0x10})), IsEmpty());
    const std::array<std::uint8_t, 4> shortPacket{0x05, 0x01, 0x00, 0x10};
    EXPECT_THAT(t.Translate(shortPacket), IsEmpty());
    EXPECT_THAT(t.Translate(Make({0x05, 0x09, 0x01})), IsEmpty());
    // Usage 0x01 (overrun error) has no key.
    EXPECT_THAT(t.Translate(Make({0x05, 0x01, 0x00, 0x02})), IsEmpty());
    const auto codes = UinputPacketTranslator::KeyCodes();
    EXPECT_NE(std::find(codes.begin(), codes.end(), KEY_A), codes.end());
    EXPECT_NE(std::find(codes.begin(), codes.end(), BTN_LEFT), codes.end());
}

// --- Routing of evdev events -------------------------------------------------------------------

TEST(EvdevKeyRouter, WithholdsBoundKeysAndTheirRepeatsOnly) {
    FilterEngine engine;
    Event abort{Event::Reset::Auto};
    auto handle = engine.Open(kFilterControlPath, 0xC0000000u);
    const std::array<std::uint8_t, 4> entry{0x04, 0x00, 0x07, 0x02};
    ASSERT_EQ(handle->Control(kFilterSetKeyTable, entry, {}, abort),
              ControlOutcome::CompletedAtOnce);

    EXPECT_TRUE(RouteEvdevEvent(engine, {EV_MSC, MSC_SCAN, 0x70004}));
    EXPECT_FALSE(RouteEvdevEvent(engine, {EV_KEY, KEY_A, 1}));
    EXPECT_FALSE(RouteEvdevEvent(engine, {EV_KEY, KEY_A, 2}));
    EXPECT_TRUE(RouteEvdevEvent(engine, {EV_KEY, KEY_B, 1}));
    EXPECT_TRUE(RouteEvdevEvent(engine, {EV_KEY, KEY_B, 2}));
    EXPECT_FALSE(RouteEvdevEvent(engine, {EV_KEY, KEY_A, 0}));
    EXPECT_TRUE(RouteEvdevEvent(engine, {EV_KEY, KEY_B, 0}));
    EXPECT_TRUE(RouteEvdevEvent(engine, {EV_KEY, BTN_LEFT, 1}));  // no usage of ours
    EXPECT_TRUE(RouteEvdevEvent(engine, {EV_SYN, SYN_REPORT, 0}));
    EXPECT_EQ(engine.QueuedEvents(), 2u);  // A down and up, no repeat
}

// --- The set-up tool's command line and host ---------------------------------------------------

TEST(SplitCommandLine, QuotesGroupAndBlanksSeparate) {
    EXPECT_THAT(SplitCommandLine(" remove"), ElementsAre("remove"));
    EXPECT_THAT(SplitCommandLine(" install \"/opt/my tools/70-keylume.rules\""),
                ElementsAre("install", "/opt/my tools/70-keylume.rules"));
    EXPECT_THAT(SplitCommandLine(" install \"C:\\d\\vhidev.inf\" root\\vhidev"),
                ElementsAre("install", "C:\\d\\vhidev.inf", "root\\vhidev"));
    EXPECT_THAT(SplitCommandLine("a  \"\"  b"), ElementsAre("a", "", "b"));
    EXPECT_THAT(SplitCommandLine("   "), IsEmpty());
}

TEST(LinuxProcessRunner, RunsTheToolWithItsArgumentsAndWaits) {
    const std::string base = ::testing::TempDir() + "keylume-run-" + std::to_string(::getpid());
    const std::string tool = base + ".sh";
    const std::string out = base + ".out";
    std::FILE* script = std::fopen(tool.c_str(), "w");
    ASSERT_NE(script, nullptr);
    std::fprintf(script, "#!/bin/sh\nprintf '%%s\\n' \"$@\" > '%s'\n", out.c_str());
    std::fclose(script);
    ::chmod(tool.c_str(), 0700);

    LinuxProcessRunner runner;
    ASSERT_TRUE(runner.RunAndWait(tool, " one \"two words\""));
    std::FILE* f = std::fopen(out.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buffer[128] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    std::remove(out.c_str());
    std::remove(tool.c_str());
    EXPECT_EQ(std::string(buffer, n), "one\ntwo words\n");

    EXPECT_FALSE(runner.RunAndWait("/nonexistent/keylume-tool", " remove"));
    EXPECT_FALSE(runner.RunAndWait("", " remove"));
    EXPECT_TRUE(runner.RunAndWait("/bin/false", ""));  // the exit code is not looked at
}

// Every signal that asks the program to end: the first runs the stop hook, the second the forced
// end's hook (keys released) and then ends the process with 128 + signal.
TEST(WatchStopSignals, EachStopSignalEndsCleanlyAndASecondStillReleases) {
    struct Case {
        int first;
        int second;
    };
    const Case cases[] = {{SIGTERM, SIGTERM},
                          {SIGINT, SIGINT},
                          {SIGHUP, SIGTERM},
                          {SIGQUIT, SIGQUIT},
                          {SIGTERM, SIGHUP}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.first)) + " then " + strsignal(c.second));
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const int out = pipeFds[1];
            static std::atomic<bool> stopped{false};
            auto say = [out](char byte) { [[maybe_unused]] const auto n = ::write(out, &byte, 1); };
            if (!WatchStopSignals(
                    [say](int signal) {
                        say(static_cast<char>(signal));
                        stopped = true;
                    },
                    [say] { say('R'); }))
                ::_exit(3);
            ::kill(::getpid(), SIGPIPE);  // a reader that went away does not end the program
            ::kill(::getpid(), c.first);
            // The hook runs; the process lives on until the second signal.
            while (!stopped)
                ::usleep(1000);
            ::kill(::getpid(), c.second);
            ::sleep(5);
            ::_exit(4);
        }
        ::close(pipeFds[1]);
        char said[3] = {};
        EXPECT_EQ(::read(pipeFds[0], &said[0], 1), 1);
        EXPECT_EQ(::read(pipeFds[0], &said[1], 1), 1);
        EXPECT_EQ(said[0], c.first);
        EXPECT_EQ(said[1], 'R');
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.second);
        ::close(pipeFds[0]);
    }
}

TEST(WatchStopSignals, AHangingReleaseDoesNotKeepTheProcessAlive) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!WatchStopSignals([](int) {}, [] { ::pause(); }, std::chrono::milliseconds(200)))
            ::_exit(3);
        ::kill(::getpid(), SIGTERM);
        ::usleep(100'000);
        ::kill(::getpid(), SIGTERM);
        ::sleep(5);
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
}

// The driver set-up runs as root only from where nobody else can change it.
TEST(WhyNotRootOnly, EveryFolderUpToTheRootMustBeRootsAlone) {
    constexpr unsigned kUser = 1000;
    const PathOwner rootDir{false, true, false, 0, 0755};
    const PathOwner rootFile{false, false, true, 0, 0755};
    struct Case {
        const char* name;
        std::map<std::string, PathOwner> changes;  // against an all-root tree
        const char* file;
        const char* why;  // empty: accepted
    };
    const Case cases[] = {
        {"installed copy", {}, "/usr/lib/keylume/driver/keylume-driver-setup", ""},
        {"tool writable by its group",
         {{"/usr/lib/keylume/driver/keylume-driver-setup", {false, false, true, 0, 0775}}},
         "/usr/lib/keylume/driver/keylume-driver-setup",
         "/usr/lib/keylume/driver/keylume-driver-setup can be changed by users other than root "
         "(mode 0775)"},
        {"tool of the user",
         {{"/usr/lib/keylume/driver/keylume-driver-setup", {false, false, true, kUser, 0755}}},
         "/usr/lib/keylume/driver/keylume-driver-setup",
         "/usr/lib/keylume/driver/keylume-driver-setup belongs to user 1000, not to root"},
        {"build tree in a home folder",
         {{"/home/ann", {false, true, false, kUser, 0755}}},
         "/home/ann/keylume/build/driver/keylume-driver-setup",
         "/home/ann belongs to user 1000, not to root"},
        {"folder open to everybody, sticky or not",
         {{"/tmp", {false, true, false, 0, 01777}}},
         "/tmp/keylume/driver/keylume-driver-setup",
         "/tmp can be changed by users other than root (mode 1777)"},
        {"link on the way",
         {{"/opt/keylume", {true, false, false, 0, 0777}}},
         "/opt/keylume/driver/keylume-driver-setup",
         "/opt/keylume is a symbolic link"},
        {"tool is a folder",
         {{"/opt/keylume/driver/keylume-driver-setup", rootDir}},
         "/opt/keylume/driver/keylume-driver-setup",
         "/opt/keylume/driver/keylume-driver-setup is not a file"},
        {"relative",
         {},
         "driver/keylume-driver-setup",
         "driver/keylume-driver-setup is not an absolute path"},
        {"dot dot",
         {},
         "/usr/lib/../../home/ann/x",
         "/usr/lib/../../home/ann/x is not a plain path"},
        {"double slash", {}, "/usr//lib/x", "/usr//lib/x is not a plain path"},
        {"missing", {{"/usr/lib", {}}}, "/usr/lib/x", "/usr/lib: cannot be looked up"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = c.file;
        auto lookUp = [&](const std::string& path) -> std::optional<PathOwner> {
            if (auto it = c.changes.find(path); it != c.changes.end()) {
                if (it->second.mode == 0)
                    return std::nullopt;
                return it->second;
            }
            return path == file ? rootFile : rootDir;
        };
        EXPECT_EQ(WhyNotRootOnly(file, lookUp), c.why);
    }
}

TEST(WhyNotRootOnly, OnThisMachine) {
    // A folder the test makes in /tmp can be changed by others through /tmp itself.
    char tmp[] = "/tmp/keylume-rootonly-XXXXXX";
    ASSERT_NE(::mkdtemp(tmp), nullptr);
    const std::string inTmp = std::string(tmp) + "/keylume-driver-setup";
    std::fclose(std::fopen(inTmp.c_str(), "w"));
    EXPECT_NE(WhyNotRootOnly(inTmp).find("/tmp can be changed by users other than root"),
              std::string::npos)
        << WhyNotRootOnly(inTmp);
    std::remove(inTmp.c_str());
    ::rmdir(tmp);

    // A root-owned 0755 folder beside this test, when the folders above it are root's alone.
    const std::string here = LinuxProgramFolder().ExecutableFolder();
    if (::geteuid() != 0 || !WhyNotRootOnly(here + "/linuxdrivers_test").empty())
        GTEST_SKIP() << "needs root and a build folder that only root can change; here: "
                     << WhyNotRootOnly(here + "/linuxdrivers_test");
    const std::string folder = here + "/rootonly-fixture";
    ::mkdir(folder.c_str(), 0755);
    ::chmod(folder.c_str(), 0755);
    const std::string tool = folder + "/keylume-driver-setup";
    std::fclose(std::fopen(tool.c_str(), "w"));
    ::chmod(tool.c_str(), 0755);
    EXPECT_EQ(WhyNotRootOnly(tool), "");
    ::chmod(folder.c_str(), 0775);
    EXPECT_NE(WhyNotRootOnly(tool), "");
    std::remove(tool.c_str());
    ::rmdir(folder.c_str());
}

TEST(LinuxProgramFolder, KnowsWhereItRunsFrom) {
    LinuxProgramFolder folder;
    const std::string exe = folder.ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back() == '/', exe == "/");
    EXPECT_TRUE(folder.IsFile("/proc/self/exe"));
    EXPECT_FALSE(folder.IsFile(exe));
    EXPECT_FALSE(folder.IsFile(exe + "/no-such-file"));
    EXPECT_EQ(folder.Separator(), '/');
    EXPECT_EQ(folder.Is64BitHost(), sizeof(void*) == 8);
}

}  // namespace
}  // namespace keylume::platform
