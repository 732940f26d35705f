#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/CommandLine.h"

namespace keylume {
namespace {

TEST(CommandLine, TakesOutItsOwnOptionsAndComparesTheRestWithHid) {
    struct Case {
        std::vector<std::string> args;
        bool hidden;
    };
    const Case cases[] = {
        {{"-hid"}, true},
        {{"--simulate", "-hid", "--trace", "t.log"}, true},
        {{"--data-dir=/tmp/x", "-hid"}, true},
        {{}, false},
        {{"-HID"}, false},
        {{"-hid "}, false},
        {{"/hid"}, false},
        {{"-hid", "x"}, false},
        {{"-hid", "-hid"}, false},
        {{"-hid", ""}, false},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto line = ParseCommandLine(c.args, error);
        ASSERT_TRUE(line) << error;
        EXPECT_EQ(line->StartHidden(), c.hidden) << ::testing::PrintToString(c.args);
    }
}

TEST(CommandLine, ReadsOptionValues) {
    std::string error;
    const auto line = ParseCommandLine({"--simulate", "--sim-absent", "--sim-firmware", "1.5",
                                        "--data-dir", "/d", "--trace=/t", "--script", "/s"},
                                       error);
    ASSERT_TRUE(line) << error;
    EXPECT_TRUE(line->simulate);
    EXPECT_TRUE(line->simAbsent);
    EXPECT_EQ(line->simFirmwareMajor, 1);
    EXPECT_EQ(line->simFirmwareMinor, 5);
    EXPECT_EQ(line->dataDir, "/d");
    EXPECT_EQ(line->traceFile, "/t");
    EXPECT_EQ(line->scriptFile, "/s");
    EXPECT_EQ(line->rest, "");
}

TEST(CommandLine, RejectsMissingAndBadValues) {
    const std::vector<std::string> bad[] = {
        {"--trace"},
        {"--script="},
        {"--sim-firmware", "1"},
        {"--sim-firmware", "1.x"},
        {"--sim-firmware", "256.0"},
        {"--sim-firmware", "-1.0"},
        {"--data-dir"},
        {"--unknown", "-hid"},  // a mistyped option must not start the program
        {"--Help"},
        {"--simulatee"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(ParseCommandLine(args, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLine, HelpAndVersionAreSeenWhateverElseIsThere) {
    struct Case {
        std::vector<std::string> args;
        bool help;
        bool version;
    };
    const Case cases[] = {
        {{"--help"}, true, false},
        {{"-h"}, true, false},
        {{"--simulate", "--help", "-hid"}, true, false},
        {{"--version"}, false, true},
        {{"-hid", "--version"}, false, true},
        {{"-hid"}, false, false},
        {{"-help"}, false, false},  // not an option: only the window's show state looks at it
    };
    for (const auto& c : cases) {
        std::string error;
        const auto line = ParseCommandLine(c.args, error);
        ASSERT_TRUE(line) << error;
        EXPECT_EQ(line->showHelp, c.help) << ::testing::PrintToString(c.args);
        EXPECT_EQ(line->showVersion, c.version) << ::testing::PrintToString(c.args);
    }
}

TEST(CommandLine, CheckIsAnOptionOfItsOwnAndLeavesTheRestAlone) {
    std::string error;
    const auto line = ParseCommandLine({"--check", "--data-dir", "/d", "-hid"}, error);
    ASSERT_TRUE(line) << error;
    EXPECT_TRUE(line->check);
    EXPECT_EQ(line->dataDir, "/d");
    EXPECT_TRUE(line->StartHidden());
    EXPECT_FALSE(ParseCommandLine({"-hid"}, error)->check);
}

TEST(CommandLine, UnknownOptionIsNamedInOneLine) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine({"-hid", "--hidden"}, error));
    EXPECT_EQ(error, "unknown option --hidden");
    EXPECT_FALSE(ParseCommandLine({"--colour=red"}, error));
    EXPECT_EQ(error, "unknown option --colour");
}

TEST(CommandLine, UsageHasOneLineForEveryOption) {
    std::vector<std::string> optionLines;
    std::istringstream usage(UsageText("keylume"));
    for (std::string line; std::getline(usage, line);)
        if (line.rfind("  ", 0) == 0)
            optionLines.push_back(line);
    for (const char* option :
         {"-hid ", "--simulate ", "--sim-absent ", "--sim-firmware ", "--data-dir ", "--trace ",
          "--script ", "--version ", "--help ", "--check "}) {
        const auto count = std::count_if(
            optionLines.begin(), optionLines.end(),
            [&](const std::string& line) { return line.find(option) != std::string::npos; });
        EXPECT_EQ(count, 1) << option;
    }
    EXPECT_EQ(VersionText().rfind("keylume ", 0), 0u);
}

}  // namespace
}  // namespace keylume
