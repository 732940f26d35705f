#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Event.h"

using namespace std::chrono_literals;

namespace keylume::platform {
namespace {

TEST(Event, ManualResetStaysSetAutoResetLetsOneWaitThrough) {
    Event manual(Event::Reset::Manual);
    Event autoEvent(Event::Reset::Auto);
    manual.Set();
    autoEvent.Set();
    EXPECT_EQ(manual.Wait(0ms), Event::WaitResult::Signalled);
    EXPECT_EQ(manual.Wait(0ms), Event::WaitResult::Signalled);
    EXPECT_EQ(autoEvent.Wait(0ms), Event::WaitResult::Signalled);
    EXPECT_EQ(autoEvent.Wait(0ms), Event::WaitResult::TimedOut);
    manual.ResetEvent();
    EXPECT_EQ(manual.Wait(1ms), Event::WaitResult::TimedOut);
}

TEST(Event, SetFromAnotherThreadWakesAnUnlimitedWaitAndRunsWakers) {
    Event event(Event::Reset::Auto);
    std::atomic<int> woken{0};
    const auto id = event.Subscribe([&] { ++woken; });
    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        event.Set();
    });
    EXPECT_EQ(event.Wait(), Event::WaitResult::Signalled);
    setter.join();
    EXPECT_EQ(woken, 1);
    event.Unsubscribe(id);
    event.Set();
    EXPECT_EQ(woken, 1);
    EXPECT_TRUE(event.TryConsume());
    EXPECT_FALSE(event.TryConsume());
}

}  // namespace
}  // namespace keylume::platform
