#include "core/macros/MacroPlayer.h"

#include <chrono>
#include <vector>

#include "platform/ThreadTuning.h"

namespace keylume {

namespace {

enum Play : int {
    kRemap = 1,
    kCount = 2,
    kWhileHeld = 3,
    kToggle = 4,
    kUntilOtherKey = 5,
    kUntilAnyKey = 6,
    kStopOnly = 8,
};

bool StartsAMacro(int play) {
    return (play >= kCount && play <= kUntilAnyKey) || play == kStopOnly;
}

// These modes stop on keys that may have no binding, which the filter reports only on request.
bool StopsOnOtherKeys(int play) {
    return play == kUntilOtherKey || play == kUntilAnyKey;
}

}  // namespace

MacroPlayer::MacroPlayer(KeySink& sink, RecordStore& records) : sink_(sink), records_(records) {
    worker_.SetRunCallback(this, &MacroPlayer::PlayBody);
    worker_.SetStartCallback(this, &MacroPlayer::OnWorkerStart);
    worker_.SetUserData(&currentRecord_, 0);
}

MacroPlayer::~MacroPlayer() {
    StopWorker(false);
}

void MacroPlayer::Stop() {
    StopWorker(false);
}

void MacroPlayer::StopWorker(bool clearMode) {
    worker_.Stop();
    worker_.Lock();
    currentRecord_.code = 0;
    if (clearMode)
        currentRecord_.play = 0;
    worker_.Unlock();
    SyncCapture();
}

void MacroPlayer::SyncCapture() {
    std::lock_guard lock(captureMutex_);
    worker_.Lock();
    const bool wanted = currentRecord_.code != 0 && StopsOnOtherKeys(currentRecord_.play);
    worker_.Unlock();
    if (wanted == captureHeld_)
        return;
    captureHeld_ = wanted;
    if (captureHook_)
        captureHook_(wanted);
}

bool MacroPlayer::IsPlaying() {
    worker_.Lock();
    const bool playing = currentRecord_.code != 0;
    worker_.Unlock();
    return playing;
}

void MacroPlayer::Start(const KeyRecord& record) {
    // The stopped macro's capture is handed on to the next one without a gap when both need it.
    worker_.Stop();
    worker_.Lock();
    currentRecord_ = record;
    worker_.Unlock();
    SyncCapture();
    worker_.Start(nullptr);
}

std::int32_t MacroPlayer::OnFilterKey(std::uint16_t usagePage, std::uint16_t usage, bool pressed) {
    const std::uint32_t e = static_cast<std::uint32_t>(usagePage) << 16 | usage;

    // Stop rules of the playing macro. They apply only while one is active: after a macro has
    // ended its mode must not swallow the next key press.
    worker_.Lock();
    const std::uint32_t playingCode = currentRecord_.code;
    const int playingMode = currentRecord_.play;
    worker_.Unlock();
    if (playingCode != 0) {
        switch (playingMode) {
            case kWhileHeld:
                if (!pressed && e == playingCode) {
                    StopWorker(false);
                    return 0;
                }
                break;
            case kToggle:
                if (pressed && e == playingCode) {
                    StopWorker(false);
                    return 0;
                }
                break;
            case kUntilOtherKey:
                // The stopping press does nothing else, bound or not.
                if (pressed) {
                    if (e != playingCode)
                        StopWorker(true);
                    return 0;
                }
                break;
            case kUntilAnyKey:
                if (pressed) {
                    StopWorker(true);
                    return 0;
                }
                break;
            default:
                break;
        }
    }

    const auto records = records_.Snapshot();
    for (const KeyRecord& record : *records) {
        if (record.code != e)
            continue;
        if (record.play == kRemap) {
            if (!record.items.empty()) {
                const std::uint32_t target = record.items.front().code;
                sink_.PressUsage(static_cast<std::uint16_t>(target >> 16),
                                 static_cast<std::uint16_t>(target & 0xFFFF), pressed);
            }
        } else if (StartsAMacro(record.play) && pressed) {
            Start(record);
        }
    }
    return 0;
}

std::int32_t MacroPlayer::OnWorkerStart(IEasyThread*, void*) {
    platform::LowerTimerSlackOfThisThread();
    return 0;
}

std::int32_t MacroPlayer::PlayBody(IEasyThread* thread, void*) {
    thread->Lock();
    const std::vector<MacroItem> items = currentRecord_.items;
    const std::uint32_t code = currentRecord_.code;
    const int play = currentRecord_.play;
    const int repeat = currentRecord_.repeat;
    thread->Unlock();

    int passes = 0;
    if (play == kCount) {
        passes = repeat;
    } else if (play >= kWhileHeld && play <= kUntilAnyKey) {
        passes = -1;
    }
    // A macro without events would spin without ever waiting: it ends at once instead.
    if (code == 0 || passes == 0 || items.empty()) {
        if (code != 0) {
            thread->Lock();
            currentRecord_.code = 0;
            thread->Unlock();
            SyncCapture();
        }
        thread->WaitStop(2);
        return 0;
    }

    // Each event is due at the start time plus the delays before it, so late wake-ups do not add
    // up over a long or endless macro.
    auto due = std::chrono::steady_clock::now();
    for (;;) {
        if (passes != -1) {
            if (passes == 0)
                break;
            --passes;
        }
        if (thread->IsCancelled())
            break;
        for (const MacroItem& item : items) {
            if (thread->IsCancelled())
                break;
            sink_.PressUsage(7, static_cast<std::uint16_t>(item.code & 0xFF), item.state != 0);
            due += std::chrono::milliseconds(item.delay);
            worker_.WaitStopUntil(due);
        }
    }

    thread->Lock();
    currentRecord_.code = 0;
    thread->Unlock();
    // Whoever stopped the macro settles its capture (a macro started in its place may keep it).
    if (!thread->IsCancelled())
        SyncCapture();
    // Keys pressed by the macro are released even when it is stopped mid-delay.
    for (const MacroItem& item : items) {
        if (item.state != 0) {
            sink_.PressUsage(7, static_cast<std::uint16_t>(item.code & 0xFF), false);
        }
    }
    return 0;
}

}  // namespace keylume
