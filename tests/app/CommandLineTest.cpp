#include <gtest/gtest.h>

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
        {{"--unknown", "-hid"}, false},  // not one of ours: it stays on the command line
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
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(ParseCommandLine(args, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace keylume
