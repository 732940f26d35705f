#pragma once

#include <string>
#include <string_view>

namespace keylume::platform {

// Port: runs a helper tool (the driver installer) and waits for it.
// Threads: the UI thread, during start-up. Failure: false when the program could not be started;
// the tool's own exit code is not looked at.
class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;

    // `commandLine` is the whole argument string as the tool is to see it.
    virtual bool RunAndWait(std::string_view application, std::string_view commandLine) = 0;
};

// Port: where the program lives and what kind of host it runs on.
// Threads: any. Failure: an empty path when the executable cannot be found.
class ProgramFolder {
  public:
    virtual ~ProgramFolder() = default;

    // Folder of the running executable, without a trailing separator.
    virtual std::string ExecutableFolder() const = 0;
    // True on a 64-bit host (decides between the driver folders x64 and x86).
    virtual bool Is64BitHost() const = 0;
    // True when `path` exists and is not a directory.
    virtual bool IsFile(std::string_view path) const = 0;
    // The separator of paths on this system.
    virtual char Separator() const = 0;
};

}  // namespace keylume::platform
