#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "core/threads/BaseRunable.h"
#include "core/threads/ThreadInterfaces.h"
#include "platform/Clock.h"
#include "platform/Event.h"

namespace keylume {

// A timer queue served by two threads: the scheduler releases pending runnables once their
// interval has passed (copies go to the ready queue), the executor runs the released copies one
// after the other, outside the queue mutex.
//
// Post, Start and Stop are called from other threads; runnables run on the executor. Stop and
// destruction must not be called from a runnable (they wait for both threads).
class RunableThreadBase : public IRunableThread {
  public:
    template <class ThreadInterface, class Target>
    using Callback = MemberThreadCallback<ThreadInterface, Target>;

    explicit RunableThreadBase(platform::Clock& clock = platform::SystemClock());
    ~RunableThreadBase() override;
    RunableThreadBase(const RunableThreadBase&) = delete;
    RunableThreadBase& operator=(const RunableThreadBase&) = delete;

    template <class Target>
    void SetRunCallback(Target* target, std::int32_t (Target::*member)(IRunableThread*, void*)) {
        SetCallback(run_, Make(target, member));
    }
    template <class Target>
    void SetStartCallback(Target* target, std::int32_t (Target::*member)(IRunableThread*, void*)) {
        SetCallback(start_, Make(target, member));
    }
    template <class Target>
    void SetEndCallback(Target* target, std::int32_t (Target::*member)(IRunableThread*, void*)) {
        SetCallback(end_, Make(target, member));
    }

    // Starts whichever of the two threads is missing, also one that ended by itself (the executor
    // after a start or run callback returned non-zero). Returns 1 when creating the last thread it
    // tried failed, else 0.
    int Start(void* parameter);
    // Ends both threads and destroys every queued runnable (their posters are not told). Returns 0;
    // the object can be started again.
    int Stop();

    std::int32_t Post(std::unique_ptr<BaseRunable> runnable, bool atFront) override;
    void Lock() override;
    void Unlock() override;
    WaitStopResult WaitStop(std::uint32_t milliseconds) override;
    bool IsCancelled() const override;

    std::size_t PendingCount() const;
    std::size_t ReadyCount() const;
    // True while the executor thread runs its loop or callbacks.
    bool ExecutorRunning() const { return executorAlive_.load(std::memory_order_acquire); }

  private:
    using CallbackPtr = std::shared_ptr<ThreadCallback<IRunableThread>>;

    template <class Target>
    static CallbackPtr Make(Target* target,
                            std::int32_t (Target::*member)(IRunableThread*, void*)) {
        if (target == nullptr || member == nullptr)
            return nullptr;
        return std::make_shared<Callback<IRunableThread, Target>>(target, member);
    }
    void SetCallback(CallbackPtr& slot, CallbackPtr callback);
    CallbackPtr Current(const CallbackPtr& slot) const;
    void SchedulerMain();
    void ExecutorMain();
    void ScanPending();

    platform::Clock& clock_;
    std::atomic<void*> parameter_{nullptr};
    std::mutex userMutex_;
    mutable std::mutex queueMutex_;  // guards both queues
    mutable std::mutex callbackMutex_;
    std::mutex controlMutex_;  // serialises Start and Stop
    std::mutex startMutex_;    // held by Start until the new thread's id is recorded
    std::atomic<std::thread::id> executorId_{};
    std::atomic<std::thread::id> schedulerId_{};
    std::thread executor_;
    std::thread scheduler_;
    // Cleared by each thread as its last use of this object: a joinable thread whose flag is clear
    // has ended by itself and is joined by the next Start.
    std::atomic<bool> executorAlive_{false};
    std::atomic<bool> schedulerAlive_{false};
    CallbackPtr run_;
    CallbackPtr start_;
    CallbackPtr end_;
    std::deque<std::unique_ptr<BaseRunable>> ready_;
    std::deque<std::unique_ptr<BaseRunable>> pending_;
    platform::Event stopEvent_{platform::Event::Reset::Manual};
};

// The program's timer queue. The number tells instances apart by type and has no other meaning.
template <int Instance>
class RunableThread final : public RunableThreadBase {
  public:
    using RunableThreadBase::RunableThreadBase;
};

}  // namespace keylume
