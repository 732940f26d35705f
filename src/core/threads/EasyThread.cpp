#include "core/threads/EasyThread.h"

#include <chrono>
#include <system_error>

namespace keylume {

EasyThread::EasyThread() = default;

EasyThread::~EasyThread() {
    Stop();
}

void EasyThread::SetCallback(CallbackPtr& slot, CallbackPtr callback) {
    std::lock_guard lock(callbackMutex_);
    slot = std::move(callback);
}

EasyThread::CallbackPtr EasyThread::Current(const CallbackPtr& slot) const {
    std::lock_guard lock(callbackMutex_);
    return slot;
}

int EasyThread::Start(void* parameter) {
    std::lock_guard control(controlMutex_);
    if (worker_.joinable()) {
        if (alive_.load(std::memory_order_acquire)) {
            parameter_.store(parameter);
            return 0;
        }
        worker_.join();  // it ended on its own and is past its last use of this object
    }
    stopEvent_.ResetEvent();
    parameter_.store(parameter);
    std::lock_guard started(startMutex_);
    alive_.store(true, std::memory_order_release);
    try {
        worker_ = std::thread(&EasyThread::WorkerMain, this);
    } catch (const std::system_error&) {
        alive_.store(false, std::memory_order_release);
        return 1;
    }
    workerId_.store(worker_.get_id());
    return 0;
}

int EasyThread::Stop() {
    std::lock_guard control(controlMutex_);
    workerId_.store(std::thread::id{});
    stopEvent_.Set();
    if (worker_.joinable())
        worker_.join();
    return 0;
}

void EasyThread::Lock() {
    userMutex_.lock();
}

void EasyThread::Unlock() {
    userMutex_.unlock();
}

WaitStopResult EasyThread::WaitStop(std::uint32_t milliseconds) {
    return stopEvent_.Wait(std::chrono::milliseconds(milliseconds)) ==
                   platform::Event::WaitResult::Signalled
               ? WaitStopResult::StopRequested
               : WaitStopResult::Elapsed;
}

WaitStopResult EasyThread::WaitStopUntil(std::chrono::steady_clock::time_point deadline) {
    const auto now = std::chrono::steady_clock::now();
    if (deadline <= now) {
        return stopEvent_.IsSet() ? WaitStopResult::StopRequested : WaitStopResult::Elapsed;
    }
    return stopEvent_.WaitUntil(deadline) == platform::Event::WaitResult::Signalled
               ? WaitStopResult::StopRequested
               : WaitStopResult::Elapsed;
}

bool EasyThread::IsCancelled() const {
    return workerId_.load() != std::this_thread::get_id();
}

void EasyThread::WorkerMain() {
    { std::lock_guard started(startMutex_); }
    const auto self = std::this_thread::get_id();
    std::int32_t exitValue = 0;
    bool skipLoop = false;
    if (auto start = Current(start_)) {
        exitValue = start->Invoke(this, parameter_.load());
        skipLoop = exitValue != 0;
    }
    if (!skipLoop) {
        exitValue = 0;
        while (workerId_.load() == self) {
            auto run = Current(run_);
            if (run) {
                const std::int32_t result = run->Invoke(this, parameter_.load());
                if (result != 0) {
                    auto expected = self;
                    workerId_.compare_exchange_strong(expected, std::thread::id{});
                    exitValue = result;
                    break;
                }
            }
            // The 1 ms pause between calls ends at once when Stop sets the event.
            stopEvent_.Wait(std::chrono::milliseconds(1));
        }
    }
    if (exitValue != -1) {
        if (auto end = Current(end_))
            end->Invoke(this, parameter_.load());
    }
    alive_.store(false, std::memory_order_release);
}

}  // namespace keylume
