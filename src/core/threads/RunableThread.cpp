#include "core/threads/RunableThread.h"

#include <chrono>
#include <system_error>

namespace keylume {

namespace {
constexpr auto kScanPeriod = std::chrono::milliseconds(1);
}

RunableThreadBase::RunableThreadBase(platform::Clock& clock) : clock_(clock) {}

RunableThreadBase::~RunableThreadBase() {
    Stop();
}

void RunableThreadBase::SetCallback(CallbackPtr& slot, CallbackPtr callback) {
    std::lock_guard lock(callbackMutex_);
    slot = std::move(callback);
}

RunableThreadBase::CallbackPtr RunableThreadBase::Current(const CallbackPtr& slot) const {
    std::lock_guard lock(callbackMutex_);
    return slot;
}

int RunableThreadBase::Start(void* parameter) {
    std::lock_guard control(controlMutex_);
    int result = 0;
    // A thread that ended by itself is past its last use of this object: collect it so that a
    // new one is made in its place.
    if (scheduler_.joinable() && !schedulerAlive_.load(std::memory_order_acquire))
        scheduler_.join();
    if (executor_.joinable() && !executorAlive_.load(std::memory_order_acquire))
        executor_.join();
    parameter_.store(parameter);
    std::lock_guard started(startMutex_);
    if (!scheduler_.joinable()) {
        schedulerAlive_.store(true, std::memory_order_release);
        try {
            scheduler_ = std::thread(&RunableThreadBase::SchedulerMain, this);
            schedulerId_.store(scheduler_.get_id());
            result = 0;
        } catch (const std::system_error&) {
            schedulerAlive_.store(false, std::memory_order_release);
            result = 1;
        }
    }
    if (!executor_.joinable()) {
        stopEvent_.ResetEvent();
        executorAlive_.store(true, std::memory_order_release);
        try {
            executor_ = std::thread(&RunableThreadBase::ExecutorMain, this);
            executorId_.store(executor_.get_id());
            result = 0;
        } catch (const std::system_error&) {
            executorAlive_.store(false, std::memory_order_release);
            result = 1;
        }
    }
    return result;
}

int RunableThreadBase::Stop() {
    std::lock_guard control(controlMutex_);
    schedulerId_.store(std::thread::id{});
    executorId_.store(std::thread::id{});
    stopEvent_.Set();
    if (scheduler_.joinable())
        scheduler_.join();
    if (executor_.joinable())
        executor_.join();
    std::deque<std::unique_ptr<BaseRunable>> doomedPending;
    std::deque<std::unique_ptr<BaseRunable>> doomedReady;
    {
        std::lock_guard lock(queueMutex_);
        doomedPending.swap(pending_);
        doomedReady.swap(ready_);
    }
    return 0;
}

std::int32_t RunableThreadBase::Post(std::unique_ptr<BaseRunable> runnable, bool atFront) {
    if (!runnable)
        return 0;
    std::shared_ptr<SyncCompletion> completion;
    const std::uint32_t waitTime = runnable->waitTime;
    {
        std::lock_guard lock(queueMutex_);
        if (waitTime != 0) {
            completion = std::make_shared<SyncCompletion>();
            runnable->repeat = 0;  // a synchronous post runs exactly once
        }
        runnable->intervalStart = 0;
        runnable->completion = completion;
        if (atFront) {
            pending_.push_front(std::move(runnable));
        } else {
            pending_.push_back(std::move(runnable));
        }
    }
    if (!completion)
        return 0;
    // A run that finishes after this wait has given up stores into the shared completion, which
    // the runnable keeps alive; nobody reads it.
    if (completion->done.Wait(std::chrono::milliseconds(waitTime)) !=
        platform::Event::WaitResult::Signalled) {
        return 0;
    }
    return completion->result.load();
}

void RunableThreadBase::Lock() {
    userMutex_.lock();
}

void RunableThreadBase::Unlock() {
    userMutex_.unlock();
}

WaitStopResult RunableThreadBase::WaitStop(std::uint32_t milliseconds) {
    return stopEvent_.Wait(std::chrono::milliseconds(milliseconds)) ==
                   platform::Event::WaitResult::Signalled
               ? WaitStopResult::StopRequested
               : WaitStopResult::Elapsed;
}

bool RunableThreadBase::IsCancelled() const {
    return executorId_.load() != std::this_thread::get_id();
}

std::size_t RunableThreadBase::PendingCount() const {
    std::lock_guard lock(queueMutex_);
    return pending_.size();
}

std::size_t RunableThreadBase::ReadyCount() const {
    std::lock_guard lock(queueMutex_);
    return ready_.size();
}

void RunableThreadBase::ScanPending() {
    std::lock_guard lock(queueMutex_);
    for (auto it = pending_.begin(); it != pending_.end();) {
        BaseRunable& runnable = **it;
        const std::uint32_t now = clock_.TickCount();
        if (runnable.intervalStart == 0)
            runnable.intervalStart = now;
        // Unsigned arithmetic: the tick counter's wrap-around is harmless.
        if (now - runnable.intervalStart >= runnable.interval) {
            runnable.intervalStart = 0;
            if (runnable.repeat != 0 && runnable.repeat != -1)
                --runnable.repeat;
            ready_.push_back(runnable.Clone());
            if (runnable.repeat == 0) {
                it = pending_.erase(it);
                continue;
            }
        }
        if (runnable.barrier != 0)
            break;
        ++it;
    }
}

void RunableThreadBase::SchedulerMain() {
    { std::lock_guard started(startMutex_); }
    const auto self = std::this_thread::get_id();
    while (schedulerId_.load() == self) {
        ScanPending();
        stopEvent_.Wait(kScanPeriod);
    }
    schedulerAlive_.store(false, std::memory_order_release);
}

void RunableThreadBase::ExecutorMain() {
    { std::lock_guard started(startMutex_); }
    const auto self = std::this_thread::get_id();
    std::int32_t last = 0;
    bool skipLoop = false;
    if (auto start = Current(start_)) {
        last = start->Invoke(this, parameter_.load());
        skipLoop = last != 0;
    }
    while (!skipLoop && executorId_.load() == self) {
        std::unique_ptr<BaseRunable> runnable;
        {
            std::lock_guard lock(queueMutex_);
            if (!ready_.empty()) {
                runnable = std::move(ready_.front());
                ready_.pop_front();
            }
        }
        if (runnable) {
            const std::int32_t result = runnable->IsValid()
                                            ? runnable->Run(runnable->arg1, runnable->arg2,
                                                            runnable->Data(), runnable->Length())
                                            : 0;
            if (runnable->completion) {
                runnable->completion->result.store(result);
                runnable->completion->done.Set();
            }
            runnable.reset();
        }
        if (auto run = Current(run_)) {
            last = run->Invoke(this, parameter_.load());
            if (last != 0) {
                auto expected = self;
                executorId_.compare_exchange_strong(expected, std::thread::id{});
                break;
            }
        } else {
            stopEvent_.Wait(kScanPeriod);
        }
    }
    if (last != -1) {
        if (auto end = Current(end_))
            end->Invoke(this, parameter_.load());
    }
    executorAlive_.store(false, std::memory_order_release);
}

}  // namespace keylume
