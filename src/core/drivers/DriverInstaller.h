#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/drivers/VHidev.h"
#include "platform/HidBus.h"
#include "platform/ProcessRunner.h"

namespace keylume {

// The driver set-up tool of a platform: where it lives beside the program, what it is called and
// the arguments it takes. The installation steps are the same everywhere.
struct DriverTool {
    std::string folderName;   // beside the executable
    std::string subFolder64;  // on a 64-bit host; empty: none
    std::string subFolder32;  // on a 32-bit host; empty: none
    std::string toolName;
    std::string preferredSetupFile;  // used when it exists and is a file
    std::string fallbackSetupFile;   // used otherwise, whether it exists or not; both empty:
                                     // the installation names no file
    std::string removeArguments;     // the whole command line of the removal; empty: none
    std::string installBefore;       // the installation's command line: before the setup file
    std::string installAfter;        // and after it
};

// devcon.exe with vhidflt.inf or vhidev.inf in driver\x64 or driver\x86.
const DriverTool& WindowsDriverTool();
// driver/keylume-driver-setup, which carries its own udev rule and takes no file (see
// driver/README.md); its installation replaces everything, so there is no removal first.
const DriverTool& LinuxDriverTool();

// What the installation works with.
struct DriverInstallation {
    VHidev& vhidev;
    platform::HidBus& bus;
    platform::ProcessRunner& processes;
    const platform::ProgramFolder& folder;
    const DriverTool& tool;
    // Asked with the tool's path before anything is run; false runs nothing. Empty: always run.
    std::function<bool(const std::string& tool)> mayRun = {};
};

// The executable's folder, the tool's folder name and the sub-folder of the host's kind:
// C:\Tools\driver\x64 for C:\Tools\kb.exe on 64-bit Windows.
std::string DefaultDriverFolder(const platform::ProgramFolder& folder, const DriverTool& tool);

// Runs the tool and waits for it to end. False for an empty application path or when the process
// cannot be started; the tool's exit code is not looked at.
bool RunAndWait(platform::ProcessRunner& processes, std::string_view application,
                std::string_view commandLine);

// Start-up's driver check: when the virtual keyboard is missing and `mayRun` agrees, removes what
// may be left of an earlier installation (always from the default folder), installs from
// `driverFolder` (the default folder when empty) and searches again. True when the virtual
// keyboard is open afterwards.
// Threads: the UI thread, before any window exists; blocks while the tool runs.
bool EnsureVirtualKeyboard(const DriverInstallation& with, std::string_view driverFolder = {});

}  // namespace keylume
