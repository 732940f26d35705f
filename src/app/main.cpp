// Keylume's entry point: the program's own options, then the application.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"

int main(int argc, char** argv) {
    keylume::WatchForStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto commandLine = keylume::ParseCommandLine(args, error);
    if (!commandLine) {
        std::fprintf(stderr, "keylume: %s\n", error.c_str());
        return 2;
    }
    return keylume::RunApplication(*commandLine, argv[0]);
}
