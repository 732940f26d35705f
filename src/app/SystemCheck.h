#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace keylume {

// What the program needs from the machine to drive the real keyboard, as found on it.
struct SystemFacts {
    int hidrawFound = 0;  // the keyboard's hidraw nodes
    int hidrawOpenable = 0;
    int eventFound = 0;  // the keyboard's input event nodes
    int eventOpenable = 0;
    bool uinputPresent = false;  // /dev/uinput
    bool uinputWritable = false;
    std::string ruleFile;          // the udev rule found, empty when none
    bool virtualKeyboard = false;  // a uinput keyboard could be created (and was destroyed again)
};

struct CheckLine {
    bool ok = false;
    std::string text;  // what was checked and found; on failure also how to fix it
};

// One line per need, in a fixed order. `setupTool` is the driver set-up the fixes name.
std::vector<CheckLine> DescribeSystem(const SystemFacts& facts, const std::string& setupTool,
                                      std::uint16_t vendor, std::uint16_t product);

// Looks at this machine for the keyboard vendor:product. Opens each node only to see that it can
// be opened, and creates the virtual keyboard only to destroy it again at once; grabs nothing.
SystemFacts ProbeSystem(std::uint16_t vendor, std::uint16_t product);

// keylume --check: prints the lines ("ok" or "FAIL" first) and returns 0 only when all are ok.
int RunSystemCheck(const std::string& executableFolder, const std::string& dataDir);

}  // namespace keylume
