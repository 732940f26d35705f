#pragma once

#include <cstdint>

#include "core/macros/KeySink.h"
#include "core/settings/KeyRecord.h"
#include "core/settings/RecordStore.h"
#include "core/threads/EasyThread.h"

namespace keylume {

// Carries out the key bindings: a remap is typed at once on the caller's thread, a macro plays on
// the playback worker, one at a time, with its delays and repeats. Every key a macro pressed is
// released when it ends, however it ends.
//
// OnFilterKey runs on the filter reader thread; Stop on the UI thread (factory restore, closing).
// The record being played is guarded by the worker's lock.
class MacroPlayer {
  public:
    MacroPlayer(KeySink& sink, RecordStore& records);
    ~MacroPlayer();
    MacroPlayer(const MacroPlayer&) = delete;
    MacroPlayer& operator=(const MacroPlayer&) = delete;

    // The key listener: applies the stop rules of the playing macro, then every record bound to
    // the key, in list order. Always returns 0, so later listeners still see the event.
    std::int32_t OnFilterKey(std::uint16_t usagePage, std::uint16_t usage, bool pressed);

    // Stops the playing macro (its keys are released before this returns).
    void Stop();

    // True while a macro is active.
    bool IsPlaying();

    EasyThread& Worker() { return worker_; }

  private:
    std::int32_t PlayBody(IEasyThread* thread, void* parameter);
    std::int32_t OnWorkerStart(IEasyThread* thread, void* parameter);
    void Start(const KeyRecord& record);

    KeySink& sink_;
    RecordStore& records_;
    KeyRecord currentRecord_;
    EasyThread worker_;
};

}  // namespace keylume
