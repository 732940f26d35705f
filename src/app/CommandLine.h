#pragma once

#include <optional>
#include <string>
#include <vector>

namespace keylume {

// What the program was started with. Its own options (all starting with "--") are taken out first;
// what remains is the command line the window's show state is decided on.
struct CommandLine {
    bool showHelp = false;     // --help or -h: print the usage and end
    bool showVersion = false;  // --version: print the version and end
    bool check = false;        // --check: tell what the machine lacks for the real keyboard
    bool simulate = false;     // --simulate: the built-in keyboard, filter and virtual keyboard
    bool simAbsent = false;    // --sim-absent: the built-in keyboard starts unplugged
    int simFirmwareMajor = 1;  // --sim-firmware MAJOR.MINOR (default 1.0)
    int simFirmwareMinor = 0;
    std::string dataDir;     // --data-dir DIR: where config.xml and the stores live
    std::string traceFile;   // --trace FILE
    std::string scriptFile;  // --script FILE
    std::string rest;        // the remaining arguments joined by single blanks

    // True when the rest is exactly "-hid": the window starts hidden in the tray.
    bool StartHidden() const { return rest == "-hid"; }
};

// Parses argv (without the program name). On an unknown option (a word starting with "--" that is
// not one of ours) or a malformed one (a missing or bad value) returns nothing and puts a one-line
// message for the user into `error`.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// The usage: how to start the program and every option, one line each.
std::string UsageText(const std::string& programName);

// "keylume <version>".
std::string VersionText();

}  // namespace keylume
