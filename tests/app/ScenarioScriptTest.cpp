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
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseScenario(c.script, error)) << c.script;
        EXPECT_EQ(error, c.error) << c.script;
    }
}

TEST(ScenarioScript, AnEmptyScriptHasNoSteps) {
    std::string error;
    const auto steps = ParseScenario("\n# nothing\n\n", error);
    ASSERT_TRUE(steps);
    EXPECT_TRUE(steps->empty());
}

}  // namespace
}  // namespace keylume
