#pragma once

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

// Blocks SIGINT and SIGTERM in the calling thread, which every thread started after it inherits
// (call it first thing in main), and waits for them on a thread of its own. The first one runs
// `onStop` there (release every key, ask the program to quit); a second one ends the process at
// once. False when the watcher cannot be started.
bool WatchStopSignals(std::function<void(int signal)> onStop);

}  // namespace keylume::platform
