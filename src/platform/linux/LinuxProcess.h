#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProcessRunner.h"

namespace keylume::platform {

// Splits a command line as the tool sees it: blanks separate arguments, double quotes group
// (and are removed), nothing else is special. "a \"b c\"" gives {"a", "b c"}.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Runs the tool with posix_spawn: argument 0 is the application path, the rest come from the
// command line; the caller's environment and folder; waits for the end without time limit.
class LinuxProcessRunner final : public ProcessRunner {
  public:
    bool RunAndWait(std::string_view application, std::string_view commandLine) override;
};

// The signals that ask the program to end: SIGINT, SIGTERM, SIGHUP (a closed terminal, a logout)
// and SIGQUIT. Each ends it the same clean way.
//
// Blocks them in the calling thread, which every thread started after it inherits (call it first
// thing in main), ignores SIGPIPE (a reader that went away must not end the program with keys
// held), and waits for them on a thread of its own. The first one runs `onStop` there (release
// every key, ask the program to quit). A second one runs `onForcedEnd` (release every key) for at
// most `forcedEndGrace` and then ends the process at once with code 128 + signal, even when
// `onForcedEnd` hangs. False when the watcher cannot be started.
bool WatchStopSignals(std::function<void(int signal)> onStop,
                      std::function<void()> onForcedEnd = {},
                      std::chrono::milliseconds forcedEndGrace = std::chrono::milliseconds(1000));

}  // namespace keylume::platform
