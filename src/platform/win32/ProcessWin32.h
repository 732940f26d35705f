#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/ProcessRunner.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform::win32 {

// Runs a tool with CreateProcessW: the application path as the program to start, the command line
// handed over as it is (it may start with a blank, so the tool sees an empty program name before
// its arguments), the caller's environment and folder, its window shown normally; waits for the
// end without time limit. The exit code is traced and kept for the caller that wants it.
class ProcessRunnerWin32 final : public ProcessRunner {
  public:
    bool RunAndWait(std::string_view application, std::string_view commandLine) override;
    // The exit code of the last tool that ran, or -1.
    long LastExitCode() const { return lastExitCode_; }

  private:
    long lastExitCode_ = -1;
};

// The program's folder from GetModuleFileNameW, the host's word size from IsWow64Process (a 32-bit
// program on 64-bit Windows; a 64-bit program is on a 64-bit host), files by GetFileAttributesW.
class ProgramFolderWin32 final : public ProgramFolder {
  public:
    std::string ExecutableFolder() const override;
    bool Is64BitHost() const override;
    bool IsFile(std::string_view path) const override;
    char Separator() const override { return '\\'; }
};

// The single-instance mutex: created owned by the calling thread under the instance name; a
// second instance finds it already there. A mutex that cannot be created at all counts as "first"
// (start-up goes on). Held for the life of the object.
class InstanceMutex {
  public:
    explicit InstanceMutex(std::string_view instanceName);
    bool AnotherInstanceRuns() const { return another_; }

  private:
    UniqueHandle mutex_;
    bool another_ = false;
};

// Console control events (Ctrl+C, close, logoff, shutdown) and WM_ENDSESSION run `onStop` once,
// so every key the virtual keyboard holds is released: its driver outlives the process, and a key
// held at logoff would stay held. Watches WM_ENDSESSION on a message-only window of a thread of
// its own. False when neither could be set up.
bool WatchStopEvents(std::function<void(int reason)> onStop);

}  // namespace keylume::platform::win32
