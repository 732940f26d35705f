#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "core/macros/MacroPlayer.h"
#include "support/Eventually.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using testing::Eventually;

// Records what the virtual keyboard would be told and which usages it holds down.
class FakeSink final : public KeySink {
  public:
    struct Sent {
        std::uint16_t page;
        std::uint16_t usage;
        bool pressed;
    };
    int PressUsage(std::uint16_t page, std::uint16_t usage, bool pressed) override {
        std::lock_guard lock(mutex_);
        log_.push_back({page, usage, pressed});
        const std::uint32_t key = static_cast<std::uint32_t>(page) << 16 | usage;
        if (pressed) {
            held_.insert(key);
        } else {
            held_.erase(key);
        }
        return 1;
    }
    std::vector<Sent> Log() {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::set<std::uint32_t> Held() {
        std::lock_guard lock(mutex_);
        return held_;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return log_.size();
    }

  private:
    std::mutex mutex_;
    std::vector<Sent> log_;
    std::set<std::uint32_t> held_;
};

constexpr std::uint16_t kKeyboard = 7;
constexpr std::uint32_t kF1 = 0x7003A;
constexpr std::uint32_t kF2 = 0x7003B;
constexpr std::uint32_t kF3 = 0x7003C;

KeyRecord Macro(std::uint32_t code, int play, int repeat, std::uint32_t delay) {
    KeyRecord r;
    r.code = code;
    r.play = play;
    r.repeat = repeat;
    r.items = {{0x70004, 1, delay, L"A"},
               {0x70004, 0, delay, L"A"},
               {0x70005, 1, delay, L"B"},
               {0x70005, 0, delay, L"B"}};
    return r;
}

class MacroPlayerTest : public ::testing::Test {
  protected:
    void Bind(const KeyRecord& record) { records_.AddOrReplace(record); }
    void Press(std::uint32_t code) { player_.OnFilterKey(code >> 16, code & 0xFFFF, true); }
    void Release(std::uint32_t code) { player_.OnFilterKey(code >> 16, code & 0xFFFF, false); }
    bool Ends() {
        return Eventually([&] { return !player_.IsPlaying(); });
    }
    std::vector<std::uint16_t> PressedUsages() {
        std::vector<std::uint16_t> out;
        for (const auto& s : sink_.Log()) {
            if (s.pressed)
                out.push_back(s.usage);
        }
        return out;
    }

    // What the capture hook was told, in order.
    std::vector<bool> CaptureCalls() {
        std::lock_guard lock(captureMutex_);
        return captureCalls_;
    }
    void WatchCapture() {
        player_.SetCaptureHook([this](bool everyKey) {
            std::lock_guard lock(captureMutex_);
            captureCalls_.push_back(everyKey);
        });
    }

    FakeSink sink_;
    RecordStore records_;
    std::mutex captureMutex_;  // before the player, which may call the hook when destroyed
    std::vector<bool> captureCalls_;
    MacroPlayer player_{sink_, records_};
};

TEST_F(MacroPlayerTest, CountPlaysItsEventsThatManyTimesThenReleasesEverything) {
    Bind(Macro(kF1, 2, 3, 0));
    Press(kF1);
    ASSERT_TRUE(Ends());
    const auto log = sink_.Log();
    ASSERT_EQ(log.size(), 12u + 2u);  // three passes, then the release of both pressed keys
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(log[i].page, kKeyboard);
        EXPECT_EQ(log[i].usage, i % 4 < 2 ? 0x04 : 0x05);
        EXPECT_EQ(log[i].pressed, i % 2 == 0);
    }
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, CountZeroPlaysNothing) {
    Bind(Macro(kF1, 2, 0, 0));
    Press(kF1);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sink_.Count(), 0u);
}

TEST_F(MacroPlayerTest, EndlessCountPlaysUntilStoppedAndReleasesMidDelay) {
    Bind(Macro(kF1, 2, -1, 5));
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() > 10; }));
    const auto before = std::chrono::steady_clock::now();
    player_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 200ms);
    EXPECT_FALSE(player_.IsPlaying());
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, PressingTheBoundKeyAgainStartsOver) {
    Bind(Macro(kF1, 2, 1, 30));
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() >= 2; }));
    Press(kF1);
    ASSERT_TRUE(Ends());
    const auto pressed = PressedUsages();
    // The first run was cut short; the second starts again from A.
    ASSERT_GE(pressed.size(), 3u);
    EXPECT_EQ(pressed[pressed.size() - 2], 0x04);
    EXPECT_EQ(pressed.back(), 0x05);
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, WhileHeldStopsAtOnceOnRelease) {
    Bind(Macro(kF1, 3, 0, 1000));
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Held().count(0x70004) == 1; }));
    const auto before = std::chrono::steady_clock::now();
    Release(kF1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 200ms);
    EXPECT_FALSE(player_.IsPlaying());
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, ToggleStartsOnTheFirstPressAndStopsOnTheSecond) {
    Bind(Macro(kF1, 4, 0, 2));
    Press(kF1);
    Release(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() > 8; }));
    EXPECT_TRUE(player_.IsPlaying());
    Press(kF1);
    EXPECT_FALSE(player_.IsPlaying());
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, UntilOtherKeyIgnoresItsOwnKeyAndSwallowsTheStoppingPress) {
    Bind(Macro(kF1, 5, 0, 2));
    KeyRecord other = Macro(kF2, 2, 1, 0);
    other.items = {{0x70010, 1, 0, L"M"}, {0x70010, 0, 0, L"M"}};
    Bind(other);
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() > 4; }));
    Press(kF1);
    EXPECT_TRUE(player_.IsPlaying());
    Press(kF2);
    EXPECT_FALSE(player_.IsPlaying());
    std::this_thread::sleep_for(20ms);
    for (const auto usage : PressedUsages())
        EXPECT_NE(usage, 0x10);  // F2's macro never ran
    EXPECT_TRUE(sink_.Held().empty());
    // The stop is over: the next press of F2 plays its own binding.
    Press(kF2);
    ASSERT_TRUE(Ends());
    EXPECT_EQ(PressedUsages().back(), 0x10);
}

TEST_F(MacroPlayerTest, UntilAnyKeyStopsOnAnyPressIncludingItsOwn) {
    Bind(Macro(kF1, 6, 0, 2));
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() > 4; }));
    Release(kF1);
    EXPECT_TRUE(player_.IsPlaying());  // releases do not stop it
    Press(kF1);
    EXPECT_FALSE(player_.IsPlaying());
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, StopOnlyEndsWhateverPlays) {
    Bind(Macro(kF1, 2, -1, 2));
    KeyRecord stop;
    stop.code = kF3;
    stop.play = 8;
    Bind(stop);
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() > 4; }));
    Press(kF3);
    ASSERT_TRUE(Ends());
    EXPECT_TRUE(sink_.Held().empty());
}

TEST_F(MacroPlayerTest, RemapSendsTheTargetsPageAtOnceAndMacrosSendKeyboardUsages) {
    KeyRecord media;
    media.code = kF1;
    media.play = 1;
    media.items = {{0xC00E9, 1, 0, L"Volume Up"}};
    Bind(media);
    KeyRecord empty;
    empty.code = kF2;
    empty.play = 1;
    Bind(empty);
    KeyRecord consumerMacro;
    consumerMacro.code = kF3;
    consumerMacro.play = 2;
    consumerMacro.repeat = 1;
    consumerMacro.items = {{0xC00E9, 1, 0, L"Volume Up"}, {0xC00E9, 0, 0, L"Volume Up"}};
    Bind(consumerMacro);

    Press(kF1);
    Release(kF1);
    Press(kF2);
    Release(kF2);
    auto log = sink_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].page, 12);
    EXPECT_EQ(log[0].usage, 0xE9);
    EXPECT_TRUE(log[0].pressed);
    EXPECT_FALSE(log[1].pressed);

    Press(kF3);
    ASSERT_TRUE(Ends());
    log = sink_.Log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[2].page, kKeyboard);  // a macro's events always go out as keyboard usages
    EXPECT_EQ(log[2].usage, 0xE9);
}

TEST_F(MacroPlayerTest, AMacroWithoutEventsEndsAtOnce) {
    KeyRecord r;
    r.code = kF1;
    r.play = 3;
    Bind(r);
    Press(kF1);
    ASSERT_TRUE(Ends());
    EXPECT_EQ(sink_.Count(), 0u);
}

TEST_F(MacroPlayerTest, AfterAStoppedMacroItsModeDoesNotSwallowTheNextPress) {
    Bind(Macro(kF1, 6, 0, 2));
    KeyRecord remap;
    remap.code = kF2;
    remap.play = 1;
    remap.items = {{0x70010, 1, 0, L"M"}};
    Bind(remap);
    Press(kF1);
    ASSERT_TRUE(Eventually([&] { return sink_.Count() > 2; }));
    player_.Stop();  // stopped from outside, as by a factory restore
    const auto before = sink_.Count();
    Press(kF2);
    EXPECT_EQ(sink_.Count(), before + 1);
}

// The modes that stop on another key ask for every key while they play, and give that up
// however they end; other modes never ask.
TEST_F(MacroPlayerTest, StopOnOtherKeyModesHoldCaptureExactlyWhilePlaying) {
    constexpr std::uint32_t kUnbound = 0x7000E;    // K
    constexpr std::uint32_t kStopFromOutside = 0;  // as a factory restore does
    struct Case {
        const char* name;
        int play;
        bool withEvents;
        std::vector<std::uint32_t> pressesThatKeepIt;  // pressed after the start
        std::uint32_t end;                             // the key pressed to end it
        std::vector<bool> calls;
    } cases[] = {
        {"any key, unbound", 6, true, {}, kUnbound, {true, false}},
        {"any key, its own", 6, true, {}, kF1, {true, false}},
        {"other key, unbound", 5, true, {kF1, kF1}, kUnbound, {true, false}},
        {"other key, bound", 5, true, {kF1}, kF2, {true, false}},
        {"other key, stopped from outside", 5, true, {}, kStopFromOutside, {true, false}},
        {"any key, without events", 6, false, {}, kStopFromOutside, {true, false}},
        {"count", 2, true, {}, kUnbound, {}},
        {"toggle", 4, true, {}, kF1, {}},
    };
    WatchCapture();
    Bind(Macro(kF2, 2, 1, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyRecord r = Macro(kF1, c.play, -1, 2);
        if (!c.withEvents)
            r.items.clear();
        Bind(r);
        {
            std::lock_guard lock(captureMutex_);
            captureCalls_.clear();
        }
        Press(kF1);
        for (const auto key : c.pressesThatKeepIt)
            Press(key);
        if (c.withEvents) {
            EXPECT_TRUE(player_.IsPlaying());
        }
        if (c.end != kStopFromOutside)
            Press(c.end);
        player_.Stop();  // a count macro may still play
        ASSERT_TRUE(Ends());
        EXPECT_EQ(CaptureCalls(), c.calls);
        EXPECT_TRUE(sink_.Held().empty());
    }
}

// Random macros stopped at random moments by every way a macro can end: none may leave a key
// held on the virtual keyboard, nor the filter capturing every key.
TEST_F(MacroPlayerTest, NoKeyStaysHeldWhateverEndsTheMacro) {
    WatchCapture();
    std::mt19937 random(20261211);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    KeyRecord stop;
    stop.code = kF3;
    stop.play = 8;
    Bind(stop);
    for (int run = 0; run < 300; ++run) {
        KeyRecord r;
        r.code = kF1;
        const int modes[] = {2, 3, 4, 5, 6};
        r.play = modes[pick(0, 4)];
        r.repeat = pick(-1, 3);
        const int events = pick(1, 8);
        for (int i = 0; i < events; ++i) {
            const auto usage = static_cast<std::uint32_t>(0x70004 + pick(0, 5));
            r.items.push_back({usage, static_cast<std::uint32_t>(pick(0, 1)),
                               static_cast<std::uint32_t>(pick(0, 3)), L""});
        }
        Bind(r);
        Press(kF1);
        std::this_thread::sleep_for(std::chrono::microseconds(pick(0, 3000)));
        switch (pick(0, 4)) {
            case 0:
                player_.Stop();
                break;
            case 1:
                Release(kF1);
                Press(kF1);
                break;  // while-held and toggle stops
            case 2:
                Press(kF2);
                break;  // until-other / until-any stops
            case 3:
                Press(kF3);
                break;  // stop-only key
            default:
                Press(kF1);
                break;  // a new start stops the old one
        }
        player_.Stop();
        ASSERT_TRUE(sink_.Held().empty()) << "run " << run << " play " << r.play;
        const auto calls = CaptureCalls();
        for (std::size_t i = 0; i < calls.size(); ++i) {
            ASSERT_EQ(calls[i], i % 2 == 0) << "run " << run << " play " << r.play;
        }
        ASSERT_EQ(calls.size() % 2, 0u) << "run " << run << " play " << r.play;
    }
}

}  // namespace
}  // namespace keylume
