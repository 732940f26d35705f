#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "core/threads/ThreadInterfaces.h"
#include "platform/Event.h"

namespace keylume {

// One worker thread that calls its run callback over and over until told to stop or until the
// callback asks to stop (a non-zero result). Macro playback runs on it.
//
// Start, Stop and the callback setters are called from other threads (the UI thread, the filter
// reader thread); the callbacks run on the worker. Stop and destruction must not be called on the
// worker itself: they wait for it to end. Start and Stop may race each other from two threads;
// they are serialised.
class EasyThread final : public IEasyThread {
  public:
    template <class ThreadInterface>
    using ICallback = ThreadCallback<ThreadInterface>;
    template <class ThreadInterface, class Target>
    using Callback = MemberThreadCallback<ThreadInterface, Target>;

    EasyThread();
    ~EasyThread() override;
    EasyThread(const EasyThread&) = delete;
    EasyThread& operator=(const EasyThread&) = delete;

    template <class Target>
    void SetRunCallback(Target* target, std::int32_t (Target::*member)(IEasyThread*, void*)) {
        SetCallback(run_, Make(target, member));
    }
    template <class Target>
    void SetStartCallback(Target* target, std::int32_t (Target::*member)(IEasyThread*, void*)) {
        SetCallback(start_, Make(target, member));
    }
    template <class Target>
    void SetEndCallback(Target* target, std::int32_t (Target::*member)(IEasyThread*, void*)) {
        SetCallback(end_, Make(target, member));
    }

    // Starts the worker with `parameter`; on a running worker only replaces the parameter.
    // Returns 0, or 1 when the thread cannot be created (a later Start tries again).
    int Start(void* parameter);
    // Tells the worker to stop, wakes its waits and waits for it to end. Returns 0.
    int Stop();

    void Lock() override;
    void Unlock() override;
    WaitStopResult WaitStop(std::uint32_t milliseconds) override;
    bool IsCancelled() const override;

    // Waits on the stop event until `deadline`. Playback waits for absolute deadlines (start plus
    // the delays so far), so a long macro does not drift by the time each wake-up is late.
    WaitStopResult WaitStopUntil(std::chrono::steady_clock::time_point deadline);

    // True while a worker thread exists (between Start and the worker's end).
    bool IsRunning() const { return alive_.load(std::memory_order_acquire); }

  private:
    using CallbackPtr = std::shared_ptr<ICallback<IEasyThread>>;

    template <class Target>
    static CallbackPtr Make(Target* target, std::int32_t (Target::*member)(IEasyThread*, void*)) {
        if (target == nullptr || member == nullptr)
            return nullptr;
        return std::make_shared<Callback<IEasyThread, Target>>(target, member);
    }
    void SetCallback(CallbackPtr& slot, CallbackPtr callback);
    CallbackPtr Current(const CallbackPtr& slot) const;
    void WorkerMain();

    std::atomic<void*> parameter_{nullptr};
    std::mutex userMutex_;
    mutable std::mutex callbackMutex_;  // guards the three callback slots
    std::atomic<std::thread::id> workerId_{};
    std::thread worker_;
    std::atomic<bool> alive_{false};
    std::mutex controlMutex_;  // serialises Start and Stop
    std::mutex startMutex_;    // held by Start until the worker's id is recorded
    CallbackPtr run_;
    CallbackPtr start_;
    CallbackPtr end_;
    platform::Event stopEvent_{platform::Event::Reset::Manual};
};

}  // namespace keylume
