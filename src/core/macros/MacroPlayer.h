#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "core/macros/KeySink.h"
#include "core/settings/KeyRecord.h"
#include "core/settings/RecordStore.h"
#include "core/threads/EasyThread.h"

namespace keylume {

// Carries out the key bindings: a remap is typed at once on the caller's thread, a macro plays on
// the playback worker, one at a time, with its delays and repeats. Every key a macro pressed is
// released when it ends, however it ends.
//
// A macro that stops on another key or on any key needs every key reported, not only the bound
// ones: the capture hook is told true when such a macro starts and false once no such macro
// plays any more, however it ended (a stopping key, another macro, Stop, the macro's own end).
//
// OnFilterKey runs on the filter reader thread; Stop on the UI thread (factory restore, closing).
// The record being played is guarded by the worker's lock. The capture hook is called on the
// reader thread, the UI thread or the worker, one call at a time, never with the worker's lock
// held.
class MacroPlayer {
  public:
    using CaptureHook = std::function<void(bool everyKey)>;

    MacroPlayer(KeySink& sink, RecordStore& records);
    ~MacroPlayer();
    MacroPlayer(const MacroPlayer&) = delete;
    MacroPlayer& operator=(const MacroPlayer&) = delete;

    // The key listener: applies the stop rules of the playing macro, then every record bound to
    // the key, in list order. Always returns 0, so later listeners still see the event.
    std::int32_t OnFilterKey(std::uint16_t usagePage, std::uint16_t usage, bool pressed);

    // Stops the playing macro (its keys are released before this returns).
    void Stop();

    // Set before the first key event; called as the class comment says.
    void SetCaptureHook(CaptureHook hook) { captureHook_ = std::move(hook); }

    // True while a macro is active.
    bool IsPlaying();

    EasyThread& Worker() { return worker_; }

  private:
    std::int32_t PlayBody(IEasyThread* thread, void* parameter);
    std::int32_t OnWorkerStart(IEasyThread* thread, void* parameter);
    void Start(const KeyRecord& record);
    // Stops the worker; the macro counts as ended even when the worker never got to play it.
    void StopWorker(bool clearMode);
    // Tells the capture hook when the playing macro's need for every key has changed.
    void SyncCapture();

    KeySink& sink_;
    RecordStore& records_;
    KeyRecord currentRecord_;
    EasyThread worker_;
    CaptureHook captureHook_;
    std::mutex captureMutex_;  // taken before the worker's lock
    bool captureHeld_ = false;
};

}  // namespace keylume
