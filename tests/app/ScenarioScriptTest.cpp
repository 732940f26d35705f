#include <gtest/gtest.h>

#include "app/ScenarioScript.h"

namespace keylume {
namespace {

using Verb = ScenarioStep::Verb;

TEST(ScenarioScript, ParsesEveryCommand) {
    const char* script =
        "# start-up\n"
        "\n"
        "wait 2500\n"
        "click btn_more\n"
        "select cbx_color_effect 5\n"
        "slide bar_const_brightness_1 3\n"
        "check chk_macro_record\n"
        "uncheck chk_macro_record\n"
        "page tab_macro_mode_selection 1\n"
        "text edit_macro_delay_time  30 ms \n"
        "command 6\n"
        "answer cancel\n"
        "keyimg 4\n"
        "key down 0x70004\n"
        "key up Caps Lock\n"
        "key tap 0xC00E9\r\n"
        "unplug\n"
        "plug\n"
        "screenshot /tmp/main window.png\n"
        "quit";
    std::string error;
    const auto steps = ParseScenario(script, error);
    ASSERT_TRUE(steps) << error;
    ASSERT_EQ(steps->size(), 18u);
    const auto& s = *steps;
    EXPECT_EQ(s[0].verb, Verb::Wait);
    EXPECT_EQ(s[0].number, 2500);
    EXPECT_EQ(s[0].line, 3);
    EXPECT_EQ(s[1].name, "btn_more");
    EXPECT_EQ(s[2].verb, Verb::Select);
    EXPECT_EQ(s[2].number, 5);
    EXPECT_EQ(s[3].verb, Verb::Slide);
    EXPECT_EQ(s[7].text, "30 ms");
    EXPECT_EQ(s[8].number, 6);
    EXPECT_EQ(s[9].number, kAnswerCancel);
    EXPECT_EQ(s[10].verb, Verb::KeyImage);
    EXPECT_EQ(s[11].verb, Verb::KeyDown);
    EXPECT_EQ(s[11].usage, 0x70004u);
    EXPECT_EQ(s[12].verb, Verb::KeyUp);
    EXPECT_EQ(s[12].usage, 0x70039u);
    EXPECT_EQ(s[13].verb, Verb::KeyTap);
    EXPECT_EQ(s[13].usage, 0xC00E9u);
    EXPECT_EQ(s[16].text, "/tmp/main window.png");
    EXPECT_EQ(s[17].verb, Verb::Quit);
}

TEST(ScenarioScript, TheFirstBadLineStopsTheParseWithItsNumber) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"wait 10\nfly away\n", "line 2: unknown command \"fly\""},
        {"wait ten\n", "line 1: wait needs MS"},
        {"command -5\n", "line 1: command needs ID"},
        {"slide bar_x\n", "line 1: slide needs NAME NUMBER"},
        {"select cbx 1 2\n", "line 1: select needs NAME NUMBER"},
        {"answer maybe\n", "line 1: answer needs ok|cancel"},
        {"key press A\n", "line 1: key needs down|up|tap USAGE"},
        {"key tap NoSuchKey\n",
         "line 1: unknown key \"NoSuchKey\" (a hex usage like 0x70004 or a key name)"},
        {"quit now\n", "line 1: quit takes no argument"},
        {"click\n", "line 1: click needs NAME"},
        // Beyond what a timer or an int holds: a wrapped wait never ended.
        {"wait 2147483648\n", "line 1: wait needs MS from 0 to 2147483647"},
        {"wait 0x80000000\n", "line 1: wait needs MS from 0 to 2147483647"},
        {"command 4294967297\n", "line 1: command needs ID from 0 to 2147483647"},
        {"select macro_group 4294967297\n",
         "line 1: select needs NAME NUMBER from -2147483648 to 2147483647"},
        {"page tabs -2147483649\n",
         "line 1: page needs NAME NUMBER from -2147483648 to 2147483647"},
        // What an error echoes carries no raw control bytes, nor broken or C1 UTF-8.
        {"\x1b[2Jwipe\n", "line 1: unknown command \"\\x1b[2Jwipe\""},
        {"key tap A\x01\x7f\n",
         "line 1: unknown key \"A\\x01\\x7f\" (a hex usage like 0x70004 or a key name)"},
        {"click btn\x07\n", "line 1: control byte in the name \"btn\\x07\""},
        {"text edit\x1b]0;x 5\n", "line 1: control byte in the name \"edit\\x1b]0;x\""},
        {"screenshot a\x1b.png\n", "line 1: control byte in the file name \"a\\x1b.png\""},
        {"caf\xc3\xa9 \xc2\x9b\xff\n", "line 1: unknown command \"caf\xc3\xa9\""},
        {"\xc2\x9b"
         "2J\n",
         "line 1: unknown command \"\\xc2\\x9b2J\""},
        {"\xe0\x80\xaf \xf4\x90\x80\x80\n", "line 1: unknown command \"\\xe0\\x80\\xaf\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseScenario(c.script, error)) << c.script;
        EXPECT_EQ(error, c.error) << c.script;
    }
}

TEST(ScenarioScript, TheLargestWaitAndTextWithTabsAreKept) {
    std::string error;
    const auto steps = ParseScenario("wait 2147483647\ntext edit a\tb\nselect list -1\n", error);
    ASSERT_TRUE(steps) << error;
    ASSERT_EQ(steps->size(), 3u);
    EXPECT_EQ((*steps)[0].number, 2147483647);
    EXPECT_EQ((*steps)[1].text, "a\tb");
    EXPECT_EQ((*steps)[2].number, -1);
}

TEST(ScenarioScript, AnEmptyScriptHasNoSteps) {
    std::string error;
    const auto steps = ParseScenario("\n# nothing\n\n", error);
    ASSERT_TRUE(steps);
    EXPECT_TRUE(steps->empty());
}

}  // namespace
}  // namespace keylume
