#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/threads/EasyThread.h"
#include "support/Eventually.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using testing::Eventually;

// A target class with the member functions the thread calls.
struct Worker {
    std::atomic<int> runs{0};
    std::atomic<int> ends{0};
    std::atomic<int> starts{0};
    std::atomic<int> runResultAfter{-100};  // pass count after which Run returns `runResult`
    std::atomic<int> runResult{0};
    std::atomic<int> startResult{0};
    std::atomic<void*> lastParameter{nullptr};
    std::atomic<bool> cancelledSeenOnWorker{false};

    std::int32_t Run(IEasyThread* thread, void* parameter) {
        lastParameter = parameter;
        const int n = ++runs;
        if (thread->IsCancelled())
            cancelledSeenOnWorker = true;
        if (runResultAfter >= 0 && n > runResultAfter)
            return runResult;
        return 0;
    }
    std::int32_t Start(IEasyThread*, void*) {
        ++starts;
        return startResult;
    }
    std::int32_t End(IEasyThread*, void*) {
        ++ends;
        return 0;
    }
};

TEST(EasyThread, StartRunsUntilStopAndStopWaitsForTheWorker) {
    Worker w;
    EasyThread thread;
    thread.SetRunCallback(&w, &Worker::Run);
    thread.SetEndCallback(&w, &Worker::End);
    int param = 7;
    EXPECT_EQ(thread.Start(&param), 0);
    ASSERT_TRUE(Eventually([&] { return w.runs > 3; }));
    EXPECT_EQ(w.lastParameter.load(), &param);
    EXPECT_EQ(thread.Stop(), 0);
    EXPECT_FALSE(thread.IsRunning());
    const int runsAtStop = w.runs;
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(w.runs, runsAtStop);
    EXPECT_EQ(w.ends, 1);  // a stopped worker still says goodbye
    EXPECT_FALSE(w.cancelledSeenOnWorker);
}

TEST(EasyThread, StartWhileRunningOnlyReplacesTheParameter) {
    Worker w;
    EasyThread thread;
    thread.SetRunCallback(&w, &Worker::Run);
    thread.SetStartCallback(&w, &Worker::Start);
    int first = 1;
    int second = 2;
    ASSERT_EQ(thread.Start(&first), 0);
    ASSERT_TRUE(Eventually([&] { return w.lastParameter.load() == &first; }));
    EXPECT_EQ(thread.Start(&second), 0);
    ASSERT_TRUE(Eventually([&] { return w.lastParameter.load() == &second; }));
    thread.Stop();
    EXPECT_EQ(w.starts, 1);  // one worker only
}

struct RunResultCase {
    int result;
    int expectedEnds;
};

class EasyThreadRunResult : public ::testing::TestWithParam<RunResultCase> {};

TEST_P(EasyThreadRunResult, NonZeroEndsTheWorkerAndMinusOneSkipsTheEndCallback) {
    Worker w;
    w.runResultAfter = 2;
    w.runResult = GetParam().result;
    EasyThread thread;
    thread.SetRunCallback(&w, &Worker::Run);
    thread.SetEndCallback(&w, &Worker::End);
    thread.Start(nullptr);
    ASSERT_TRUE(Eventually([&] { return !thread.IsRunning(); }));
    EXPECT_EQ(w.runs, 3);
    EXPECT_EQ(w.ends, GetParam().expectedEnds);
    // The object can be started again once its worker has ended by itself.
    w.runResultAfter = -100;
    EXPECT_EQ(thread.Start(nullptr), 0);
    ASSERT_TRUE(Eventually([&] { return w.runs > 5; }));
    thread.Stop();
}

INSTANTIATE_TEST_SUITE_P(Results, EasyThreadRunResult,
                         ::testing::Values(RunResultCase{-1, 0}, RunResultCase{1, 1},
                                           RunResultCase{42, 1}));

TEST(EasyThread, NonZeroStartCallbackSkipsTheLoop) {
    Worker w;
    w.startResult = 5;
    EasyThread thread;
    thread.SetRunCallback(&w, &Worker::Run);
    thread.SetStartCallback(&w, &Worker::Start);
    thread.SetEndCallback(&w, &Worker::End);
    thread.Start(nullptr);
    ASSERT_TRUE(Eventually([&] { return !thread.IsRunning(); }));
    EXPECT_EQ(w.runs, 0);
    EXPECT_EQ(w.ends, 1);
}

// A run callback that waits the way playback waits between events.
struct Waiter {
    std::atomic<int> elapsed{0};
    std::atomic<int> stopped{0};
    std::atomic<bool> waiting{false};
    std::int32_t Run(IEasyThread* thread, void*) {
        waiting = true;
        if (thread->WaitStop(10'000) == WaitStopResult::StopRequested) {
            ++stopped;
            return 1;
        }
        ++elapsed;
        return 0;
    }
};

TEST(EasyThread, StopInterruptsALongWaitAtOnce) {
    Waiter w;
    EasyThread thread;
    thread.SetRunCallback(&w, &Waiter::Run);
    thread.Start(nullptr);
    // A new thread may take a while to run (under wine, on a busy machine): stop it mid-wait.
    for (int i = 0; i < 1000 && !w.waiting; ++i)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(w.waiting);
    std::this_thread::sleep_for(20ms);
    const auto before = std::chrono::steady_clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
    EXPECT_EQ(w.stopped, 1);
    EXPECT_EQ(w.elapsed, 0);
}

TEST(EasyThread, WaitStopTellsElapsedFromStopRequested) {
    EasyThread thread;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(thread.WaitStop(2), WaitStopResult::Elapsed);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 2ms);
    thread.Stop();
    // The stop event stays set until the next Start.
    EXPECT_EQ(thread.WaitStop(5000), WaitStopResult::StopRequested);
    EXPECT_EQ(thread.WaitStop(0), WaitStopResult::StopRequested);
    thread.Start(nullptr);
    EXPECT_EQ(thread.WaitStop(1), WaitStopResult::Elapsed);
    thread.Stop();
}

TEST(EasyThread, IsCancelledOnOtherThreadsAndAfterStop) {
    struct Probe {
        std::atomic<int> notCancelled{0};
        std::int32_t Run(IEasyThread* thread, void*) {
            if (!thread->IsCancelled())
                ++notCancelled;
            return 0;
        }
    } probe;
    EasyThread thread;
    thread.SetRunCallback(&probe, &Probe::Run);
    EXPECT_TRUE(thread.IsCancelled());
    thread.Start(nullptr);
    ASSERT_TRUE(Eventually([&] { return probe.notCancelled > 0; }));
    EXPECT_TRUE(thread.IsCancelled());  // this is not the worker
    thread.Stop();
    EXPECT_TRUE(thread.IsCancelled());
}

TEST(EasyThread, UserDataIsStoredOnceAndLockGuardsSharedState) {
    EasyThread thread;
    int a = 0;
    int b = 0;
    EXPECT_EQ(thread.UserData(), nullptr);
    thread.SetUserData(nullptr, 3);
    EXPECT_EQ(thread.UserData(), nullptr);
    thread.SetUserData(&a, 4);
    thread.SetUserData(&b, 5);
    ASSERT_NE(thread.UserData(), nullptr);
    EXPECT_EQ(thread.UserData()->pointer, &a);
    EXPECT_EQ(thread.UserData()->value, 4);

    struct Counter {
        EasyThread* thread;
        int value = 0;
        std::int32_t Run(IEasyThread* t, void*) {
            t->Lock();
            ++value;
            t->Unlock();
            return 0;
        }
    } counter{&thread};
    thread.SetRunCallback(&counter, &Counter::Run);
    thread.Start(nullptr);
    for (int i = 0; i < 200; ++i) {
        thread.Lock();
        ++counter.value;
        thread.Unlock();
    }
    thread.Stop();
    EXPECT_GE(counter.value, 200);
}

TEST(EasyThread, ConcurrentStartAndStopFromTwoThreadsLeaveOneWorker) {
    Worker w;
    EasyThread thread;
    thread.SetRunCallback(&w, &Worker::Run);
    std::thread other([&] {
        for (int i = 0; i < 100; ++i) {
            thread.Stop();
            thread.Start(nullptr);
        }
    });
    for (int i = 0; i < 100; ++i) {
        thread.Start(nullptr);
        thread.Stop();
    }
    other.join();
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
}

TEST(EasyThread, DestructionStopsARunningWorker) {
    Worker w;
    {
        EasyThread thread;
        thread.SetRunCallback(&w, &Worker::Run);
        thread.SetEndCallback(&w, &Worker::End);
        thread.Start(nullptr);
        ASSERT_TRUE(Eventually([&] { return w.runs > 0; }));
    }
    EXPECT_EQ(w.ends, 1);
}

}  // namespace
}  // namespace keylume
