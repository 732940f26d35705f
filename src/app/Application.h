#pragma once

#include "app/CommandLine.h"

namespace keylume {

// Turns SIGINT, SIGTERM, SIGHUP and SIGQUIT into closing the main window (after releasing every
// key the program typed); a second one releases the keys again and ends the process. Call first
// thing in main, before any thread starts.
bool WatchForStopSignals();

// The whole program after its command line was read: start-up, the message loop and shutdown.
// Returns the exit code: 0 for a second instance, 2 for a scenario or option that cannot be
// carried out, 3 when no private runtime folder (and so no lock) can be had, else the message
// loop's quit code.
int RunApplication(const CommandLine& commandLine, const char* programPath);

}  // namespace keylume
