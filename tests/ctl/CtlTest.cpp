// keylumectl against the built-in keyboard: what it sends, what it stores, what it refuses.
#include "ctl/Ctl.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace keylume::ctl {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = KEYLUME_SOURCE_DIR;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The "hid ..." lines of a trace, without their times.
std::vector<std::string> HidLines(const fs::path& trace) {
    std::vector<std::string> lines;
    std::istringstream in(ReadText(trace));
    static const std::regex kLine(R"(^\+?[0-9.]+ (hid .*)$)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, kLine))
            lines.push_back(m[1]);
    }
    return lines;
}

// The window's reports after its start-up (the firmware query) in an end-to-end case.
// The reports the window sent in an e2e case after the line that starts with `after`.
std::vector<std::string> WindowReports(const std::string& name,
                                       const std::string& after = "app window shown") {
    std::vector<std::string> lines;
    std::istringstream in(ReadText(kSource / "tests/e2e/cases" / (name + ".trace")));
    bool shown = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(after, 0) == 0)
            shown = true;
        else if (shown && line.rfind("hid ", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

class CtlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("ctl-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
        fs::copy_file(kSource / "data/config.xml", dir_ / "data/config.xml");
        fs::create_directories(dir_ / "run");
        fs::permissions(dir_ / "run", fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void UseData(const std::string& folder) {
        for (const auto& entry : fs::directory_iterator(kSource / "tests/e2e/data" / folder))
            fs::copy_file(entry.path(), data() / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    }

    fs::path data() const { return dir_ / "data"; }
    fs::path trace() const { return dir_ / "trace"; }

    // Runs the keylumectl program on the built-in keyboard with this test's data folder and
    // trace, as a process of its own (the stores are process-wide, as in any run of it).
    int Ctl(std::vector<std::string> args) {
        std::vector<std::string> all = {"--simulate", "--data-dir", data().string(), "--trace",
                                        trace().string()};
        all.insert(all.end(), args.begin(), args.end());
        std::string command = "XDG_RUNTIME_DIR='" + (dir_ / "run").string() + "' ";
        command += KEYLUME_CTL_PROGRAM;
        for (const std::string& a : all) {
            command += " '";
            for (char c : a)
                command += c == '\'' ? std::string("'\\''") : std::string(1, c);
            command += "'";
        }
        command += " >'" + (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "'";
        const int status = std::system(command.c_str());
        out_ = ReadText(dir_ / "out");
        err_ = ReadText(dir_ / "err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

    fs::path dir_;
    std::string out_;
    std::string err_;
};

// The firmware query the tool makes after opening the keyboard, as the window does at start.
const std::vector<std::string> kQuery = {"hid set-feature 07 f1 00 00 00 00 00 00",
                                         "hid get-feature 07 01 00 00 00 00 00 00"};

struct LightCase {
    std::vector<std::string> args;
    // The end-to-end case whose last report the tool must send, or the report itself.
    std::string windowCase;
    std::string report;
    std::string file;
    std::string stored;
};

class CtlLightTest : public CtlTest, public ::testing::WithParamInterface<LightCase> {};

TEST_P(CtlLightTest, SendsWhatTheWindowSendsAndStoresIt) {
    const LightCase& c = GetParam();
    UseData("stored0");
    ASSERT_EQ(Ctl(c.args), kDone) << err();
    EXPECT_EQ(err(), "");
    const std::string expected =
        c.windowCase.empty() ? "hid set-feature " + c.report : WindowReports(c.windowCase).back();
    EXPECT_EQ(HidLines(trace()), std::vector<std::string>{expected});
    EXPECT_NE(ReadText(data() / c.file).find(c.stored), std::string::npos)
        << ReadText(data() / c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CtlLightTest,
    ::testing::Values(
        LightCase{{"effect", "5", "--brightness", "3"},
                  "pick_effect_5",
                  "",
                  "ledeffect.xml",
                  R"(<effect sel="5">)"},
        LightCase{{"effect", "RIPPLE", "--brightness=3"},
                  "pick_effect_5",
                  "",
                  "ledeffect.xml",
                  R"(<effect sel="5">)"},
        LightCase{{"effect", "涟漪", "--brightness", "3"},
                  "pick_effect_5",
                  "",
                  "ledeffect.xml",
                  R"(<effect sel="5">)"},
        LightCase{{"effect", "loader", "--start", "right"},
                  "",
                  "07 ff ff 01 05 00 02 00",
                  "ledeffect.xml",
                  R"(<effect sel="1">)"},
        LightCase{{"effect", "1", "--start", "left"},
                  "loader_radios",
                  "",
                  "ledeffect.xml",
                  R"(<effect sel="1">)"},
        LightCase{
            {"effect", "20"}, "effect_20_sliders", "", "ledeffect.xml", R"(<effect sel="20">)"},
        LightCase{{"side", "4", "--level", "6"},
                  "side_light",
                  "",
                  "sidemodel.xml",
                  R"(<effect sel="4">)"},
        LightCase{{"side", "steady GREEN", "--level", "6"},
                  "side_light",
                  "",
                  "sidemodel.xml",
                  R"(<effect sel="4">)"},
        // Out of range: put at the slider's nearer end, as the panel's slider would.
        LightCase{{"effect", "5", "--brightness", "9", "--speed", "-4"},
                  "",
                  "07 ff ff 05 05 00 00 00",
                  "ledeffect.xml",
                  R"(<effect sel="5">)"},
        LightCase{{"side", "4", "--level", "12"},
                  "",
                  "07 ff ff 20 00 00 74 00",
                  "sidemodel.xml",
                  R"(<effect sel="4">)"}));

TEST_F(CtlTest, LightingCommandsKeepTheirDistanceAcrossProcesses) {
    UseData("stored0");
    ASSERT_EQ(Ctl({"effect", "5"}), kDone);
    std::ifstream in(trace());
    std::string line;
    std::getline(in, line);
    // The command goes out no sooner than the pacing after the keyboard was opened.
    EXPECT_GE(std::stoi(line.substr(0, line.find(' '))), 100) << line;
}

TEST_F(CtlTest, StatusReadsTheKeyboardAndTheStores) {
    UseData("bound");
    ASSERT_EQ(Ctl({"status"}), kDone) << err();
    EXPECT_EQ(HidLines(trace()), kQuery);
    EXPECT_NE(out().find("keyboard:   present hid#vid_1a2c&pid_2d3e&mi_01&col02#"),
              std::string::npos)
        << out();
    EXPECT_NE(out().find("firmware:   v1.0"), std::string::npos);
    EXPECT_NE(out().find("bound keys: 1"), std::string::npos);

    ASSERT_EQ(Ctl({"--json", "status"}), kDone);
    EXPECT_NE(out().find(R"("firmware":"v1.0")"), std::string::npos) << out();
    EXPECT_NE(out().find(R"("bound_keys":1})"), std::string::npos) << out();
}

TEST_F(CtlTest, FirmwareCheckComparesWithTheLatest) {
    ASSERT_EQ(Ctl({"firmware", "--check"}), kDone) << err();
    EXPECT_EQ(out(), "firmware v1.0: the latest version, no upgrade is required\n");
    EXPECT_EQ(HidLines(trace()), kQuery);
}

TEST_F(CtlTest, RestoreNeedsYesAndThenFollowsTheWindow) {
    UseData("bound");
    WriteText(data() / "macro.xml", R"(<?xml version="1.0"?>
<config type="1" repeat="3" />
<macro><group name="kept"><item code="70004" state="1" delay="10" name="A" /></group></macro>
)");
    const std::string record = ReadText(data() / "record.xml");
    const std::string macro = ReadText(data() / "macro.xml");

    EXPECT_EQ(Ctl({"restore"}), kUsage);
    EXPECT_NE(err().find("--yes"), std::string::npos);
    EXPECT_TRUE(HidLines(trace()).empty());
    EXPECT_EQ(ReadText(data() / "record.xml"), record);

    ASSERT_EQ(Ctl({"restore", "--yes"}), kDone) << err();
    std::vector<std::string> window = WindowReports("restore_confirmed", "ui msgbox");
    window.resize(2);  // what follows is the keyboard coming back to the window
    EXPECT_EQ(HidLines(trace()), window);
    EXPECT_NE(ReadText(data() / "ledeffect.xml").find(R"(<effect sel="20">)"), std::string::npos);
    EXPECT_EQ(ReadText(data() / "record.xml").find("<record"), std::string::npos);
    EXPECT_EQ(ReadText(data() / "macro.xml"), macro);
}

struct BadArgs {
    std::vector<std::string> args;
    const char* says;
};

class CtlUsageTest : public CtlTest, public ::testing::WithParamInterface<BadArgs> {};

TEST_P(CtlUsageTest, RefusedWithOneLineAndNothingTouched) {
    UseData("bound");
    const std::string led = ReadText(data() / "ledeffect.xml");
    const std::string record = ReadText(data() / "record.xml");
    EXPECT_EQ(Ctl(GetParam().args), kUsage);
    EXPECT_EQ(out(), "");
    const std::string e = err();
    EXPECT_EQ(e.rfind("keylumectl: ", 0), 0u) << e;
    EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
    EXPECT_NE(e.find(GetParam().says), std::string::npos) << e;
    EXPECT_TRUE(!fs::exists(trace()) || HidLines(trace()).empty());
    EXPECT_EQ(ReadText(data() / "ledeffect.xml"), led);
    EXPECT_EQ(ReadText(data() / "record.xml"), record);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CtlUsageTest,
    ::testing::Values(BadArgs{{}, "no command"}, BadArgs{{"glow"}, "unknown command"},
                      BadArgs{{"--bogus", "status"}, "unknown option --bogus"},
                      BadArgs{{"status", "now"}, "unexpected argument"},
                      BadArgs{{"effect"}, "missing effect"}, BadArgs{{"effect", "21"}, "no effect"},
                      BadArgs{{"effect", "sparkle"}, "no effect \"sparkle\""},
                      BadArgs{{"effect", "5", "--brightness"}, "needs a value"},
                      BadArgs{{"effect", "5", "--brightness", "lots"}, "takes a number"},
                      BadArgs{{"effect", "0", "--speed", "1"}, "has no speed"},
                      BadArgs{{"effect", "20", "--brightness", "1"}, "has no brightness"},
                      BadArgs{{"effect", "5", "--start", "left"}, "has no start"},
                      BadArgs{{"effect", "1", "--start", "top"}, "--start takes"},
                      BadArgs{{"effect", "5", "--direction", "left"}, "direction"},
                      BadArgs{{"effect", "5", "--glow", "1"}, "unknown option --glow"},
                      BadArgs{{"side", "12"}, "no side-light mode"},
                      BadArgs{{"side", "4", "--level", "x"}, "takes a number"},
                      BadArgs{{"firmware", "--now"}, "unknown option"},
                      BadArgs{{"bindings", "remove"}, "missing"},
                      BadArgs{{"bindings", "remove", "NoSuchKey"}, "no key"},
                      BadArgs{{"bindings", "remove", "B"}, "has no binding"},
                      BadArgs{{"bindings", "rename", "A"}, "bindings takes"},
                      BadArgs{{"macros"}, "macros takes"},
                      BadArgs{{"macros", "export", "nobody", "f.xml"}, "no macro group"}));

TEST_F(CtlTest, BindingsRoundTripAndRemove) {
    UseData("bound");
    ASSERT_EQ(Ctl({"bindings", "list"}), kDone) << err();
    EXPECT_EQ(out(), "A\t0x70004\tB\n");
    const fs::path file = dir_ / "bindings.xml";
    ASSERT_EQ(Ctl({"bindings", "export", file.string()}), kDone) << err();

    ASSERT_EQ(Ctl({"bindings", "remove", "a"}), kDone) << err();
    ASSERT_EQ(Ctl({"bindings", "list"}), kDone);
    EXPECT_EQ(out(), "");
    // A file without bindings is read back as such, not set aside as damaged.
    EXPECT_EQ(err(), "");

    ASSERT_EQ(Ctl({"bindings", "import", file.string()}), kDone) << err();
    ASSERT_EQ(Ctl({"--json", "bindings", "list"}), kDone);
    EXPECT_NE(out().find(R"("key":"A","code":"0x70004")"), std::string::npos) << out();
    ASSERT_EQ(Ctl({"bindings", "remove", "0x70004"}), kDone) << err();
    EXPECT_TRUE(HidLines(trace()).empty());
}

TEST_F(CtlTest, MacroGroupsRoundTrip) {
    WriteText(dir_ / "in.xml", R"(<?xml version="1.0"?>
<macro><group name="Fire"><item code="70004" state="1" delay="10" name="A" />
<item code="70004" state="0" delay="20" name="A" /></group></macro>
)");
    ASSERT_EQ(Ctl({"macros", "import", (dir_ / "in.xml").string()}), kDone) << err();
    ASSERT_EQ(Ctl({"macros", "list"}), kDone);
    EXPECT_EQ(out(), "1\tFire\t2 events\n");
    ASSERT_EQ(Ctl({"macros", "export", "fire", (dir_ / "out.xml").string()}), kDone) << err();
    ASSERT_EQ(Ctl({"macros", "import", (dir_ / "out.xml").string()}), kDone) << err();
    ASSERT_EQ(Ctl({"--json", "macros", "list"}), kDone);
    EXPECT_EQ(out(),
              R"([{"number":1,"name":"Fire","events":2},{"number":2,"name":"Fire","events":2}])"
              "\n");
}

// A file that is not what the command reads changes nothing, and says so.
TEST_F(CtlTest, ImportOfABadFileChangesNothing) {
    UseData("bound");
    WriteText(data() / "macro.xml", R"(<?xml version="1.0"?>
<config type="1" />
<macro><group name="kept"><item code="70004" state="1" delay="10" name="A" /></group></macro>
)");
    const std::string record = ReadText(data() / "record.xml");
    const std::string macro = ReadText(data() / "macro.xml");
    const struct {
        const char* command;
        const char* text;
    } kCases[] = {
        {"bindings", "not xml at all <"},
        {"bindings", R"(<macro><group name="g"/></macro>)"},
        {"bindings", ""},
        {"macros", R"(<record code="70004" type="1"/>)"},
        {"macros", R"(<macro></macro>)"},
        {"macros", "\x01\x02binary"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.command) + ": " + c.text);
        WriteText(dir_ / "bad.xml", c.text);
        EXPECT_EQ(Ctl({c.command, "import", (dir_ / "bad.xml").string()}), kRefused);
        EXPECT_NE(err().find("nothing was changed"), std::string::npos) << err();
        EXPECT_EQ(ReadText(data() / "record.xml"), record);
        EXPECT_EQ(ReadText(data() / "macro.xml"), macro);
    }
    EXPECT_EQ(Ctl({"bindings", "import", (dir_ / "missing.xml").string()}), kRefused);
    EXPECT_NE(err().find("cannot read"), std::string::npos) << err();
}

TEST_F(CtlTest, SettingsNoticesReachStandardError) {
    WriteText(data() / "ledeffect.xml", "<effect sel=");
    ASSERT_EQ(Ctl({"status"}), kDone) << err();
    EXPECT_NE(err().find("ledeffect.xml could not be read; it was kept as "), std::string::npos)
        << err();
    const std::string e = err();
    EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
    bool kept = false;
    for (const auto& entry : fs::directory_iterator(data()))
        kept = kept || ReadText(entry.path()) == "<effect sel=";
    EXPECT_TRUE(kept);
}

TEST_F(CtlTest, LeavesEverythingToARunningWindow) {
    UseData("bound");
    const std::string led = ReadText(data() / "ledeffect.xml");
    // The window's instance listening on its socket.
    const std::string path = (dir_ / "run/keylume-Keylume.Instance.7f3a91c2.sock").string();
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 4), 0);

    EXPECT_EQ(Ctl({"effect", "5"}), kNoKeyboard);
    EXPECT_NE(err().find("window is running"), std::string::npos) << err();
    EXPECT_TRUE(!fs::exists(trace()) || HidLines(trace()).empty());
    EXPECT_EQ(ReadText(data() / "ledeffect.xml"), led);
    ::close(server);

    EXPECT_EQ(Ctl({"effect", "5"}), kDone) << err();
}

TEST(CtlNames, MatchTheWindowsTexts) {
    const std::string layout = ReadText(kSource / "uires/layout/mainwnd.xml");
    const std::string chinese = ReadText(kSource / "uires/lang/lang_cn.xml");
    for (const auto& names : {EffectNames(), SideModeNames()}) {
        for (const ModeName& n : names) {
            EXPECT_NE(layout.find("<item text=\"" + std::string(n.english) + "\"/>"),
                      std::string::npos)
                << n.english;
            EXPECT_NE(chinese.find("<text src=\"" + std::string(n.english) + "\">" + n.chinese +
                                   "</text>"),
                      std::string::npos)
                << n.english;
        }
    }
    EXPECT_EQ(FindMode(EffectNames(), "20"), 20);
    EXPECT_EQ(FindMode(EffectNames(), "-1"), -1);
    EXPECT_EQ(FindMode(SideModeNames(), "关闭侧灯"), 11);
}

}  // namespace
}  // namespace keylume::ctl
