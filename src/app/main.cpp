// Keylume's entry point: the program's own options, then the application.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SystemCheck.h"
#include "platform/linux/LinuxProgramFolder.h"

int main(int argc, char** argv) {
    keylume::WatchForStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    // The command line is read before anything else happens: --help, --version and a mistyped
    // option never open a window, read the keyboard or reach the driver set-up.
    std::string error;
    const auto commandLine = keylume::ParseCommandLine(args, error);
    if (!commandLine) {
        std::fprintf(stderr, "keylume: %s\n%s", error.c_str(),
                     keylume::UsageText("keylume").c_str());
        return 2;
    }
    if (commandLine->showHelp) {
        std::fputs(keylume::UsageText("keylume").c_str(), stdout);
        return 0;
    }
    if (commandLine->showVersion) {
        std::printf("%s\n", keylume::VersionText().c_str());
        return 0;
    }
    if (commandLine->check)
        return keylume::RunSystemCheck(keylume::platform::LinuxProgramFolder().ExecutableFolder(),
                                       commandLine->dataDir);
    return keylume::RunApplication(*commandLine, argv[0]);
}
