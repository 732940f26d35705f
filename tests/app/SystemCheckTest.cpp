#include <gtest/gtest.h>

#include "app/SystemCheck.h"

namespace keylume {
namespace {

SystemFacts AllReady() {
    SystemFacts f;
    f.hidrawFound = f.hidrawOpenable = 3;
    f.eventFound = f.eventOpenable = 2;
    f.uinputPresent = f.uinputWritable = true;
    f.ruleFile = "/usr/lib/udev/rules.d/70-keylume.rules";
    f.virtualKeyboard = true;
    return f;
}

TEST(SystemCheck, EveryNeedHasOneLineAndOnlyFailuresSayHowToFixThem) {
    struct Case {
        const char* name;
        void (*change)(SystemFacts&);
        std::size_t failingLine;  // 99: none fails
        const char* says;
    };
    const Case cases[] = {
        {"ready", [](SystemFacts&) {}, 99, ""},
        {"no keyboard", [](SystemFacts& f) { f.hidrawFound = f.hidrawOpenable = 0; }, 0,
         "none found (USB 1a2c:2d3e) - fix: plug the keyboard in"},
        {"hidraw closed", [](SystemFacts& f) { f.hidrawOpenable = 1; }, 0,
         "3 found, 1 openable - fix: the keyboard is there but you may not open it: run sudo "
         "'/p/it'\\''s/keylume-driver-setup' install"},
        {"event closed", [](SystemFacts& f) { f.eventOpenable = 0; }, 1, "2 found, 0 openable"},
        {"no uinput", [](SystemFacts& f) { f.uinputPresent = f.uinputWritable = false; }, 2,
         "/dev/uinput: missing - fix: run sudo"},
        {"uinput closed", [](SystemFacts& f) { f.uinputWritable = false; }, 2,
         "not writable - fix: run sudo"},
        {"no rule", [](SystemFacts& f) { f.ruleFile.clear(); }, 3, "not installed - fix"},
        {"no vkbd", [](SystemFacts& f) { f.virtualKeyboard = false; }, 4,
         "cannot be created - fix: check that the kernel allows uinput devices"},
    };
    for (const auto& c : cases) {
        SystemFacts facts = AllReady();
        c.change(facts);
        const auto lines = DescribeSystem(facts, "/p/it's/keylume-driver-setup", 0x1a2c, 0x2d3e);
        ASSERT_EQ(lines.size(), 5u) << c.name;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].ok, i != c.failingLine) << c.name << " line " << i;
            EXPECT_EQ(lines[i].text.find("fix:") != std::string::npos, !lines[i].ok)
                << c.name << ": " << lines[i].text;
            EXPECT_EQ(lines[i].text.find('\n'), std::string::npos) << c.name;
        }
        if (c.failingLine != 99) {
            EXPECT_NE(lines[c.failingLine].text.find(c.says), std::string::npos)
                << c.name << ": " << lines[c.failingLine].text;
        }
    }
}

}  // namespace
}  // namespace keylume
