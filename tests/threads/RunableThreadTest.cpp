#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/threads/RunableThread.h"
#include "support/Eventually.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using testing::Eventually;

using Clock = std::chrono::steady_clock;

// The target of the runnables: records every run with its arguments and time.
struct Target {
    struct RunRecord {
        std::int32_t arg1;
        std::int32_t arg2;
        std::vector<std::uint8_t> data;
        Clock::time_point at;
    };
    std::mutex mutex;
    std::vector<RunRecord> runs;
    std::atomic<int> sleepMs{0};

    std::int32_t Run(std::int32_t arg1, std::int32_t arg2, std::uint8_t* data,
                     std::int32_t length) {
        if (sleepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs.load()));
        std::lock_guard lock(mutex);
        runs.push_back(
            {arg1, arg2,
             data ? std::vector<std::uint8_t>(data, data + length) : std::vector<std::uint8_t>{},
             Clock::now()});
        return arg1 * 10 + arg2;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return runs.size();
    }
    std::vector<std::int32_t> Arg1Order() {
        std::lock_guard lock(mutex);
        std::vector<std::int32_t> out;
        for (auto& r : runs)
            out.push_back(r.arg1);
        return out;
    }
};

std::unique_ptr<ThreadRunable<Target>> Make(Target& target, std::int32_t arg1,
                                            std::uint32_t interval, std::int32_t repeat) {
    auto r = std::make_unique<ThreadRunable<Target>>(&target, &Target::Run);
    r->arg1 = arg1;
    r->interval = interval;
    r->repeat = repeat;
    return r;
}

struct RepeatCase {
    std::int32_t repeat;
    std::uint32_t interval;
    std::size_t expectedRuns;
};

class RunableRepeat : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(RunableRepeat, IsReleasedAsOftenAsItsRepeatSaysThenLeavesTheQueue) {
    Target target;
    RunableThread<0> thread;
    thread.Start(nullptr);
    const auto posted = Clock::now();
    thread.Post(Make(target, 1, GetParam().interval, GetParam().repeat), false);
    ASSERT_TRUE(Eventually([&] { return target.Count() >= GetParam().expectedRuns; }));
    ASSERT_TRUE(Eventually([&] { return thread.PendingCount() == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(GetParam().interval * 2 + 20));
    EXPECT_EQ(target.Count(), GetParam().expectedRuns);
    // Releases are spaced by at least the interval.
    std::lock_guard lock(target.mutex);
    auto previous = posted;
    for (auto& run : target.runs) {
        EXPECT_GE(run.at - previous, std::chrono::milliseconds(GetParam().interval) - 1ms);
        previous = run.at;
    }
}

INSTANTIATE_TEST_SUITE_P(Repeats, RunableRepeat,
                         ::testing::Values(RepeatCase{1, 0, 1}, RepeatCase{0, 0, 1},
                                           RepeatCase{3, 100, 3}, RepeatCase{1, 50, 1}));

TEST(RunableThread, IntervalZeroRunsWithinAFewMilliseconds) {
    Target target;
    RunableThread<0> thread;
    thread.Start(nullptr);
    const auto posted = Clock::now();
    thread.Post(Make(target, 1, 0, 1), false);
    ASSERT_TRUE(Eventually([&] { return target.Count() == 1; }));
    std::lock_guard lock(target.mutex);
    EXPECT_LT(target.runs[0].at - posted, 50ms);
}

TEST(RunableThread, EndlessRepeatRunsUntilDestructionWhichWaitsForBothThreads) {
    Target target;
    {
        RunableThread<0> thread;
        thread.Start(nullptr);
        thread.Post(Make(target, 1, 10, -1), false);
        ASSERT_TRUE(Eventually([&] { return target.Count() >= 4; }));
        EXPECT_EQ(thread.PendingCount(), 1u);
    }
    const auto countAfter = target.Count();
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(target.Count(), countAfter);  // nothing runs after the destructor returned
}

TEST(RunableThread, BarrierHoldsBackDueRunnablesBehindIt) {
    Target target;
    RunableThread<0> thread;
    auto gate = Make(target, 1, 150, 1);
    gate->barrier = 1;
    thread.Post(std::move(gate), false);
    thread.Post(Make(target, 2, 0, 1), false);
    thread.Start(nullptr);
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(target.Count(), 0u);  // the due runnable waits behind the barrier
    ASSERT_TRUE(Eventually([&] { return target.Count() == 2; }));
    EXPECT_EQ(target.Arg1Order(), (std::vector<std::int32_t>{1, 2}));
}

TEST(RunableThread, PostAtFrontGoesBeforeEverythingPending) {
    Target target;
    RunableThread<0> thread;
    thread.Post(Make(target, 1, 0, 1), false);
    thread.Post(Make(target, 2, 0, 1), false);
    thread.Post(Make(target, 3, 0, 1), true);
    thread.Start(nullptr);
    ASSERT_TRUE(Eventually([&] { return target.Count() == 3; }));
    EXPECT_EQ(target.Arg1Order(), (std::vector<std::int32_t>{3, 1, 2}));
}

TEST(RunableThread, SynchronousPostRunsOnceAndReturnsTheResult) {
    Target target;
    RunableThread<0> thread;
    thread.Start(nullptr);
    auto r = Make(target, 4, 0, 5);
    r->arg2 = 2;
    r->waitTime = 500;
    EXPECT_EQ(thread.Post(std::move(r), false), 42);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(target.Count(), 1u);
    EXPECT_EQ(thread.PendingCount(), 0u);
}

TEST(RunableThread, SynchronousPostThatTimesOutReturnsZeroAndTheLateRunIsHarmless) {
    Target target;
    target.sleepMs = 80;
    RunableThread<0> thread;
    thread.Start(nullptr);
    auto r = Make(target, 4, 0, 1);
    r->waitTime = 10;
    EXPECT_EQ(thread.Post(std::move(r), false), 0);
    ASSERT_TRUE(Eventually([&] { return target.Count() == 1; }));
}

TEST(RunableThread, InvalidRunnableIsSkippedAndASynchronousPosterGetsZero) {
    RunableThread<0> thread;
    thread.Start(nullptr);
    auto r = std::make_unique<ThreadRunable<Target>>();
    r->waitTime = 500;
    EXPECT_EQ(thread.Post(std::move(r), false), 0);
    EXPECT_EQ(thread.Post(nullptr, false), 0);
}

TEST(RunableThread, EachCopyOwnsItsDataBuffer) {
    Target target;
    std::uint8_t bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(i + 1);
    ThreadRunable<Target> original(&target, &Target::Run);
    original.SetData(bytes, 16);
    auto copy = original.Clone();
    std::memset(original.Data(), 0xEE, 16);
    ASSERT_EQ(copy->Length(), 16);
    EXPECT_EQ(copy->Data()[0], 1);
    EXPECT_EQ(copy->Data()[15], 16);
    EXPECT_NE(copy->Data(), original.Data());

    RunableThread<0> thread;
    thread.Start(nullptr);
    {
        auto posted = original.Clone();
        posted->SetData(bytes, 16);
        thread.Post(std::move(posted), false);
    }
    ASSERT_TRUE(Eventually([&] { return target.Count() == 1; }));
    std::lock_guard lock(target.mutex);
    EXPECT_EQ(target.runs[0].data, std::vector<std::uint8_t>(bytes, bytes + 16));
}

TEST(RunableThread, PostCopyGoesToTheTargetThreadWhichTheCopyDoesNotKeep) {
    Target target;
    RunableThread<0> thread;
    ThreadRunable<Target> runnable(&target, &Target::Run);
    runnable.arg1 = 9;
    EXPECT_EQ(runnable.PostCopy(), 0);  // no target thread: nothing posted
    runnable.targetThread = &thread;
    auto clone = runnable.Clone();
    EXPECT_EQ(static_cast<ThreadRunable<Target>*>(clone.get())->targetThread, nullptr);
    runnable.PostCopy();
    thread.Start(nullptr);
    ASSERT_TRUE(Eventually([&] { return target.Count() == 1; }));
}

TEST(RunableThread, StopDropsQueuedRunnablesAndTheObjectStartsAgain) {
    Target target;
    RunableThread<0> thread;
    thread.Start(nullptr);
    thread.Post(Make(target, 1, 10'000, 1), false);
    EXPECT_EQ(thread.PendingCount(), 1u);
    EXPECT_EQ(thread.Stop(), 0);
    EXPECT_EQ(thread.PendingCount(), 0u);
    EXPECT_EQ(thread.Start(nullptr), 0);
    thread.Post(Make(target, 2, 0, 1), false);
    ASSERT_TRUE(Eventually([&] { return target.Count() == 1; }));
}

// An executor that ended by itself (its start or run callback said so) is replaced by the next
// Start, and the runnables posted meanwhile run on the new one.
TEST(RunableThread, StartRestartsAnExecutorThatEndedByItself) {
    struct Callbacks {
        std::atomic<int> startResult{0};
        std::atomic<int> runResult{0};
        std::atomic<int> starts{0};
        std::atomic<int> ends{0};
        std::int32_t Start(IRunableThread*, void*) {
            ++starts;
            return startResult;
        }
        std::int32_t Run(IRunableThread*, void*) { return runResult; }
        std::int32_t End(IRunableThread*, void*) {
            ++ends;
            return 0;
        }
    };
    struct Case {
        const char* name;
        int startResult;
        int runResult;
    } cases[] = {{"start callback", 3, 0}, {"run callback", 0, 1}, {"run callback -1", 0, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Callbacks callbacks;
        callbacks.startResult = c.startResult;
        callbacks.runResult = c.runResult;
        Target target;
        RunableThread<0> thread;
        thread.SetStartCallback(&callbacks, &Callbacks::Start);
        thread.SetRunCallback(&callbacks, &Callbacks::Run);
        thread.SetEndCallback(&callbacks, &Callbacks::End);
        ASSERT_EQ(thread.Start(nullptr), 0);
        ASSERT_TRUE(Eventually([&] { return !thread.ExecutorRunning(); }));
        const int endsBefore = callbacks.ends;

        callbacks.startResult = 0;
        callbacks.runResult = 0;
        thread.Post(Make(target, 1, 0, 1), false);
        EXPECT_EQ(thread.Start(nullptr), 0);
        ASSERT_TRUE(Eventually([&] { return target.Count() == 1; }));
        EXPECT_EQ(callbacks.starts, 2);
        EXPECT_TRUE(thread.ExecutorRunning());
        thread.Stop();
        EXPECT_EQ(callbacks.ends, endsBefore + 1);
    }
}

TEST(RunableThread, IsCancelledIsFalseOnlyOnTheExecutor) {
    struct Probe {
        RunableThread<0>* thread = nullptr;
        std::atomic<int> onExecutor{-1};
        std::int32_t Run(std::int32_t, std::int32_t, std::uint8_t*, std::int32_t) {
            onExecutor = thread->IsCancelled() ? 0 : 1;
            return 0;
        }
    } probe;
    RunableThread<0> thread;
    probe.thread = &thread;
    thread.Start(nullptr);
    thread.Post(std::make_unique<ThreadRunable<Probe>>(&probe, &Probe::Run), false);
    ASSERT_TRUE(Eventually([&] { return probe.onExecutor != -1; }));
    EXPECT_EQ(probe.onExecutor, 1);
    EXPECT_TRUE(thread.IsCancelled());
}

TEST(RunableThread, PostingFromSeveralThreadsLosesNothing) {
    Target target;
    RunableThread<0> thread;
    thread.Start(nullptr);
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                thread.Post(Make(target, t, 0, 1), (i % 2) == 0);
        });
    }
    for (auto& p : posters)
        p.join();
    ASSERT_TRUE(Eventually([&] { return target.Count() == 200; }));
}

}  // namespace
}  // namespace keylume
