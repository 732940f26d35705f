#pragma once

// The one place that waits for overlapped I/O: the HID ports and the filter channel start a
// ReadFile, WriteFile or DeviceIoControl on an OverlappedCall and hand the call's result to
// Finish, which waits with a time-out and an abort event, cancels what did not finish and
// collects the result with GetOverlappedResult. A request is never left running on a record that
// goes away: after a cancel, Finish waits until the system has let go of the record.

#include <windows.h>

#include "platform/Event.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform::win32 {

enum class IoStatus {
    Failed,           // refused or ended with an error (`error` says which)
    CompletedAtOnce,  // the call finished without going pending
    Completed,        // went pending, then finished
    TimedOut,         // went pending and was cancelled when the time-out passed
    Aborted,          // went pending and was cancelled because the abort event was set
};

struct IoOutcome {
    IoStatus status = IoStatus::Failed;
    DWORD bytes = 0;
    DWORD error = 0;

    bool Done() const {
        return status == IoStatus::Completed || status == IoStatus::CompletedAtOnce;
    }
};

// One overlapped request on one file handle, used from one thread at a time.
// Each request has its own event, so a read and a write outstanding on the same handle at the
// same time each wait for their own completion.
class OverlappedCall {
  public:
    OverlappedCall();
    OverlappedCall(const OverlappedCall&) = delete;
    OverlappedCall& operator=(const OverlappedCall&) = delete;

    // A fresh record for the next call (its event reset).
    OVERLAPPED* Prepare();

    // `started` is what ReadFile/WriteFile/DeviceIoControl returned, with GetLastError() still
    // unchanged. `timeoutMs` < 0 waits without limit; `abort` (may be null) ends the wait when it
    // is set, consuming it.
    IoOutcome Finish(HANDLE file, BOOL started, int timeoutMs, Event* abort);

  private:
    IoOutcome Cancel(HANDLE file, IoStatus why);

    OVERLAPPED overlapped_{};
    UniqueHandle event_;
    UniqueHandle wake_;  // set by the abort event's waker
};

}  // namespace keylume::platform::win32
