// The Linux filter and virtual keyboard against a real kernel: a uhid-played keyboard is grabbed,
// its bound keys reach the program and nothing else, the rest passes through the clone, and the
// uinput virtual keyboard types what the program's packets say.

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "EventNode.h"
#include "UhidKeyboard.h"
#include "core/drivers/FilterChannel.h"
#include "core/drivers/VHidev.h"
#include "core/macros/MacroPlayer.h"
#include "core/macros/VHidevSink.h"
#include "core/settings/RecordStore.h"
#include "platform/linux/HidapiHidBus.h"
#include "platform/linux/LinuxFilter.h"
#include "platform/linux/LinuxVirtualKeyboard.h"

using namespace std::chrono_literals;

namespace keylume::vmtest {
namespace {

// Each test plays its keyboard under a name of its own: the node of an earlier test's keyboard can
// still be on its way out when the next one starts. hid-input names a keyboard collection's node
// after the device with " Keyboard" added; the filter's clone adds " (Keylume)".
struct PlayedKeyboard {
    std::string device;
    std::string node;
    std::string clone;
    explicit PlayedKeyboard(const std::string& name)
        : device(name), node(name + " Keyboard"), clone(name + " Keyboard (Keylume)") {}
    UhidKeyboard::Options Options() const {
        UhidKeyboard::Options options;
        options.name = device;
        return options;
    }
};
constexpr const char* kVirtualName = "Keylume virtual keyboard";

// The keyboard collection's input report: report ID 1, modifiers, reserved, six key slots.
std::vector<std::uint8_t> Keys(std::uint8_t usage = 0) {
    return {0x01, 0, 0, usage, 0, 0, 0, 0, 0};
}

bool HasKey(const std::vector<input_event>& events, unsigned code, int value) {
    return std::any_of(events.begin(), events.end(), [&](const input_event& e) {
        return e.type == EV_KEY && e.code == code && e.value == value;
    });
}

// A new keyboard's event node can appear a moment before the HID core routes its reports to it;
// reports sent in between are lost. Types A until it comes through, then lets it go again.
bool WaitUntilTyping(UhidKeyboard& keyboard, EventNode& node) {
    for (int i = 0; i < 100; ++i) {
        keyboard.Input(Keys(0x04));
        const bool typed = HasKey(node.NextFrame(20ms), KEY_A, 1);
        keyboard.Input(Keys());
        node.Drain(20ms);
        if (typed)
            return true;
    }
    return false;
}

double MicrosSince(const timespec& start, const input_event& ev) {
    return (static_cast<double>(ev.input_event_sec - start.tv_sec) * 1e6) +
           (static_cast<double>(ev.input_event_usec) - static_cast<double>(start.tv_nsec) / 1e3);
}

timespec Now() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

void ReportLatency(const char* what, std::vector<double> micros) {
    ASSERT_FALSE(micros.empty());
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    std::printf("VM-NOTE latency %s: n=%zu median=%.0f us p99=%.0f us max=%.0f us\n", what,
                micros.size(), median, p99, micros.back());
}

struct Collector {
    std::mutex mutex;
    std::vector<std::tuple<int, int, int>> events;
    std::int32_t OnFilterKey(std::uint16_t page, std::uint16_t usage, bool pressed) {
        std::lock_guard lock(mutex);
        events.emplace_back(page, usage, pressed ? 1 : 0);
        return 0;
    }
    std::vector<std::tuple<int, int, int>> Wait(std::size_t count) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard lock(mutex);
                if (events.size() >= count)
                    return events;
            }
            std::this_thread::sleep_for(5ms);
        }
        std::lock_guard lock(mutex);
        return events;
    }
};

class LinuxDrivers : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!InVm())
            GTEST_SKIP() << "runs only inside the test VM";
    }
};

TEST_F(LinuxDrivers, VirtualKeyboardTurnsPacketsIntoKeyButtonAndAxisEvents) {
    platform::HidapiHidBus hid;
    platform::LinuxVirtualKeyboardBus bus(hid);
    VHidev vhid;
    ASSERT_TRUE(vhid.FindDevice(bus));
    auto node = EventNode::Open(kVirtualName, 2000ms);
    ASSERT_TRUE(node);

    struct Case {
        std::uint16_t page;
        std::uint16_t usage;
        unsigned type;
        unsigned code;
    };
    const Case cases[] = {
        {7, 0x04, EV_KEY, KEY_A},         {7, 0xE1, EV_KEY, KEY_LEFTSHIFT},
        {12, 0xE9, EV_KEY, KEY_VOLUMEUP}, {12, 0xCD, EV_KEY, KEY_PLAYPAUSE},
        {1, 0x81, EV_KEY, KEY_POWER},     {5, 0, EV_KEY, BTN_LEFT},
        {5, 2, EV_KEY, BTN_MIDDLE},       {1, 0x30, EV_REL, REL_X},
    };
    for (const auto& c : cases) {
        ASSERT_NE(vhid.PressUsage(c.page, c.usage, true), 0);
        const auto down = node->NextFrame(1000ms);
        const bool seen = std::any_of(down.begin(), down.end(), [&](const input_event& e) {
            return e.type == c.type && e.code == c.code && e.value != 0;
        });
        EXPECT_TRUE(seen) << "page " << c.page << " usage " << c.usage;
        vhid.PressUsage(c.page, c.usage, false);
        if (c.type == EV_KEY) {
            EXPECT_TRUE(HasKey(node->NextFrame(1000ms), c.code, 0)) << c.code;
        }
    }

    vhid.PressUsage(7, 0x04, true);
    vhid.PressUsage(7, 0x05, true);
    vhid.PressUsage(12, 0xE2, true);
    node->Drain(50ms);
    EXPECT_TRUE(node->KeyHeld(KEY_A));
    vhid.ReleaseAll();
    EXPECT_FALSE(node->KeyHeld(KEY_A));
    EXPECT_FALSE(node->KeyHeld(KEY_B));
    EXPECT_FALSE(node->KeyHeld(KEY_MUTE));
}

TEST_F(LinuxDrivers, KillingTheOwnerOfTheVirtualKeyboardReleasesItsKeys) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        platform::HidapiHidBus hid;
        platform::LinuxVirtualKeyboardBus bus(hid);
        VHidev vhid;
        if (!vhid.FindDevice(bus))
            ::_exit(3);
        std::this_thread::sleep_for(300ms);  // the parent opens the node meanwhile
        vhid.PressUsage(7, 0x04, true);
        (void)!::write(ready[1], "1", 1);
        for (;;)
            ::pause();
    }
    auto node = EventNode::Open(kVirtualName, 2000ms);
    ASSERT_TRUE(node);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(node->KeyHeld(KEY_A));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    // The device goes with its owner. The kernel sends every handler the releases of the keys it
    // still held as it unregisters the device; an event-node reader cannot read them any more
    // (its reads fail with ENODEV from then on), so what can be seen here is the device's end.
    node->Drain(300ms);
    EXPECT_TRUE(node->Gone());
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(LinuxDrivers, FilterReportsBoundKeysWithholdsThemAndPassesTheRest) {
    const PlayedKeyboard played("Keylume filter keyboard");
    UhidKeyboard keyboard(played.Options());
    ASSERT_TRUE(keyboard.Created());
    {
        auto direct = EventNode::Open(played.node, 2000ms);
        ASSERT_TRUE(direct) << EventNode::PresentNames();
        ASSERT_TRUE(WaitUntilTyping(keyboard, *direct));
    }

    RecordStore records;
    KeyRecord bound;
    bound.code = 0x70004;  // A
    bound.play = 1;
    bound.items = {{0x70005, 1, 0, L"B"}};
    records.AddOrReplace(bound);

    platform::LinuxFilter filter(0x1A2C, 0x2D3E);
    Collector collector;
    std::optional<EventNode> clone;
    {
        FilterChannel channel(filter, records);
        channel.AddListener(&collector, &Collector::OnFilterKey);
        channel.Open();
        ASSERT_TRUE(channel.StartListening());
        channel.UploadKeyTable();
        EXPECT_EQ(filter.GrabbedNodes(), 1u);
        auto opened = EventNode::Open(played.clone, 2000ms);
        ASSERT_TRUE(opened) << EventNode::PresentNames();
        clone.emplace(std::move(*opened));

        keyboard.Input(Keys(0x04));
        keyboard.Input(Keys());
        auto got = collector.Wait(2);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0], std::make_tuple(7, 4, 1));
        EXPECT_EQ(got[1], std::make_tuple(7, 4, 0));

        keyboard.Input(Keys(0x06));  // C is not bound: it reaches the system only
        keyboard.Input(Keys());
        const auto passed = clone->Drain(200ms);
        EXPECT_TRUE(HasKey(passed, KEY_C, 1));
        EXPECT_TRUE(HasKey(passed, KEY_C, 0));
        EXPECT_FALSE(HasKey(passed, KEY_A, 1)) << "a bound key must not reach the system";
        EXPECT_EQ(collector.Wait(3).size(), 2u);

        channel.SendCaptureRequest();  // recording: every key is reported
        keyboard.Input(Keys(0x06));
        keyboard.Input(Keys());
        got = collector.Wait(4);
        ASSERT_EQ(got.size(), 4u);
        EXPECT_EQ(got[2], std::make_tuple(7, 6, 1));
        EXPECT_EQ(got[3], std::make_tuple(7, 6, 0));
        clone->Drain(100ms);
    }
    // With the channel gone nothing is withheld any more: the bound key types normally again.
    keyboard.Input(Keys(0x04));
    keyboard.Input(Keys());
    const auto afterwards = clone->Drain(200ms);
    EXPECT_TRUE(HasKey(afterwards, KEY_A, 1));
    EXPECT_TRUE(HasKey(afterwards, KEY_A, 0));
}

TEST_F(LinuxDrivers, ARemapComesOutOfTheVirtualKeyboardAndNotOutOfTheClone) {
    const PlayedKeyboard played("Keylume remap keyboard");
    UhidKeyboard keyboard(played.Options());
    ASSERT_TRUE(keyboard.Created());

    // What the VM itself adds: the kernel's path from uhid to the keyboard's own event node.
    {
        auto direct = EventNode::Open(played.node, 2000ms);
        ASSERT_TRUE(direct) << EventNode::PresentNames();
        ASSERT_TRUE(WaitUntilTyping(keyboard, *direct));
        std::vector<double> base;
        for (int i = 0; i < 100; ++i) {
            const auto start = Now();
            keyboard.Input(Keys(0x04));
            const auto frame = direct->NextFrame(1000ms);
            ASSERT_TRUE(HasKey(frame, KEY_A, 1));
            base.push_back(MicrosSince(start, frame.front()));
            keyboard.Input(Keys());
            direct->NextFrame(1000ms);
        }
        ReportLatency("uhid -> keyboard node (the VM's own path)", base);
    }

    RecordStore records;
    KeyRecord bound;
    bound.code = 0x70004;  // A types B
    bound.play = 1;
    bound.items = {{0x70005, 1, 0, L"B"}};
    records.AddOrReplace(bound);

    platform::HidapiHidBus hid;
    platform::LinuxVirtualKeyboardBus bus(hid);
    VHidev vhid;
    ASSERT_TRUE(vhid.FindDevice(bus));
    VHidevSink sink(vhid);
    MacroPlayer player(sink, records);
    platform::LinuxFilter filter(0x1A2C, 0x2D3E);
    FilterChannel channel(filter, records);
    channel.AddListener(&player, &MacroPlayer::OnFilterKey);
    channel.Open();
    ASSERT_TRUE(channel.StartListening());
    channel.UploadKeyTable();
    auto out = EventNode::Open(kVirtualName, 2000ms);
    ASSERT_TRUE(out);
    auto clone = EventNode::Open(played.clone, 2000ms);
    ASSERT_TRUE(clone);

    std::vector<double> remap;
    for (int i = 0; i < 200; ++i) {
        const auto start = Now();
        keyboard.Input(Keys(0x04));
        const auto down = out->NextFrame(1000ms);
        ASSERT_TRUE(HasKey(down, KEY_B, 1)) << "press " << i;
        remap.push_back(MicrosSince(start, down.front()));
        keyboard.Input(Keys());
        ASSERT_TRUE(HasKey(out->NextFrame(1000ms), KEY_B, 0)) << "release " << i;
    }
    ReportLatency("uhid -> filter -> remap -> virtual keyboard node", remap);
    const auto leaked = clone->Drain(100ms);
    EXPECT_FALSE(HasKey(leaked, KEY_A, 1));
    EXPECT_FALSE(out->KeyHeld(KEY_B));
}

}  // namespace
}  // namespace keylume::vmtest
