#include "platform/win32/OverlappedIo.h"

namespace keylume::platform::win32 {

OverlappedCall::OverlappedCall()
    : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

OVERLAPPED* OverlappedCall::Prepare() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.Get();
    if (event_)
        ::ResetEvent(event_.Get());
    return &overlapped_;
}

IoOutcome OverlappedCall::Finish(HANDLE file, BOOL started, int timeoutMs, Event* abort) {
    IoOutcome outcome;
    if (started) {
        outcome.status = IoStatus::CompletedAtOnce;
        if (!::GetOverlappedResult(file, &overlapped_, &outcome.bytes, TRUE)) {
            outcome.status = IoStatus::Failed;
            outcome.error = ::GetLastError();
        }
        return outcome;
    }
    outcome.error = ::GetLastError();
    if (outcome.error != ERROR_IO_PENDING || !event_ || !wake_) {
        if (outcome.error == ERROR_IO_PENDING)
            return Cancel(file, IoStatus::Failed);
        return outcome;
    }

    Event::WakerId waker = 0;
    if (abort != nullptr) {
        HANDLE wake = wake_.Get();
        ::ResetEvent(wake);
        waker = abort->Subscribe([wake] { ::SetEvent(wake); });
        // Set before the waker was there: it still ends this wait.
        if (abort->TryConsume()) {
            abort->Unsubscribe(waker);
            return Cancel(file, IoStatus::Aborted);
        }
    }
    const HANDLE handles[2] = {event_.Get(), wake_.Get()};
    const DWORD count = abort != nullptr ? 2 : 1;
    const DWORD wait = ::WaitForMultipleObjects(
        count, handles, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (abort != nullptr)
        abort->Unsubscribe(waker);

    if (wait == WAIT_OBJECT_0) {
        outcome.status = IoStatus::Completed;
        outcome.error = 0;
        if (!::GetOverlappedResult(file, &overlapped_, &outcome.bytes, FALSE)) {
            outcome.status = IoStatus::Failed;
            outcome.error = ::GetLastError();
        }
        return outcome;
    }
    if (wait == WAIT_OBJECT_0 + 1) {
        abort->TryConsume();
        return Cancel(file, IoStatus::Aborted);
    }
    if (wait == WAIT_TIMEOUT)
        return Cancel(file, IoStatus::TimedOut);
    TraceFailure("win32", "WaitForMultipleObjects");
    return Cancel(file, IoStatus::Failed);
}

IoOutcome OverlappedCall::Cancel(HANDLE file, IoStatus why) {
    IoOutcome outcome;
    ::CancelIo(file);
    // Waits until the request has really ended: the record must not be reused or freed before.
    if (::GetOverlappedResult(file, &overlapped_, &outcome.bytes, TRUE)) {
        // It finished between the wait and the cancel: its result is not thrown away.
        outcome.status = IoStatus::Completed;
        return outcome;
    }
    outcome.error = ::GetLastError();
    outcome.status = why;
    return outcome;
}

}  // namespace keylume::platform::win32
