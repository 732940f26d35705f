#include <gtest/gtest.h>
#ifndef _WIN32
#include <poll.h>
#endif

#include <atomic>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/HidDevice.h"
#include "core/protocol/KeyboardCommands.h"
#include "platform/Trace.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimKeyboard.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using platform::DeviceBroadcast;
using platform::kDeviceArrival;
using platform::kDeviceRemoveComplete;
using platform::kDeviceTypeInterface;
using platform::SimKeyboard;
using platform::SimKeyboardState;

// Collects the trace's lines without their time stamps, checking the stamp's form on the way.
class TraceCapture {
  public:
    TraceCapture() {
        platform::Trace::SetSink([this](std::string_view line) {
            static const std::regex stamped(R"(^\d+ (\S+ .*)$)");
            std::match_results<std::string_view::const_iterator> m;
            std::lock_guard lock(mutex_);
            if (std::regex_match(line.begin(), line.end(), m, stamped))
                lines_.push_back(m[1].str());
            else
                lines_.push_back("UNSTAMPED " + std::string(line));
        });
    }
    ~TraceCapture() { platform::Trace::SetSink(nullptr); }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Broadcasts as "<event code> <device type> <path>".
std::vector<std::string> Dispatch(platform::SimBroadcasts& broadcasts) {
    std::vector<std::string> got;
    broadcasts.SetListener([&](const DeviceBroadcast& b) {
        got.push_back(std::to_string(b.eventCode) + " " + std::to_string(b.deviceType) + " " +
                      b.path);
    });
    broadcasts.DispatchPending();
    broadcasts.SetListener(nullptr);
    return got;
}

std::vector<std::string> AllThree(std::uint32_t code) {
    std::vector<std::string> out;
    for (const char* path :
         {SimKeyboard::kKeysPath, SimKeyboard::kMediaPath, SimKeyboard::kCommandPath})
        out.push_back(std::to_string(code) + " " + std::to_string(kDeviceTypeInterface) + " " +
                      path);
    return out;
}

// Windows has no descriptor to watch (the fd is -1): broadcasts come with window messages.
bool Readable(int fd) {
#ifdef _WIN32
    (void)fd;
    return false;
#else
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
#endif
}

class NoLocks final : public platform::NamedLocks {
    struct NoHold final : Held {
        bool Owns() const override { return true; }
    };

  public:
    std::unique_ptr<Held> Acquire(std::string_view) override { return std::make_unique<NoHold>(); }
};

class SimKeyboardTest : public ::testing::Test {
  protected:
    SimKeyboard::Options Fast() {
        SimKeyboard::Options o;
        o.restoreDelay = 80ms;
        return o;
    }

    platform::SimBroadcasts broadcasts_;
    platform::SimHidBus bus_{broadcasts_};
    NoLocks locks_;
    HidDevice device_{locks_, bus_};
    LedEffectStore ledEffects_;
    SideLightStore sideLights_;
    KeyboardCommands commands_{device_, platform::SystemClock(), ledEffects_, sideLights_};
};

TEST_F(SimKeyboardTest, FactoryRestoreLeavesTheBusAndComesBack) {
    SimKeyboard keyboard(bus_, Fast());
    Dispatch(broadcasts_);  // the first plug-in
    ASSERT_TRUE(ledEffects_.SetItem(3, LedEffectItem{4, 2, 0, 2}));
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    commands_.SendLedEffect(3);
    ASSERT_EQ(keyboard.State().effect, 3);

    TraceCapture trace;
    EXPECT_EQ(commands_.SendFactoryRestore(), 8);
    EXPECT_FALSE(keyboard.IsPlugged());
    EXPECT_TRUE(bus_.ListInterfaces().empty());
    EXPECT_EQ(Readable(broadcasts_.NotifyFd()), broadcasts_.NotifyFd() >= 0);
    EXPECT_EQ(Dispatch(broadcasts_), AllThree(kDeviceRemoveComplete));
    EXPECT_FALSE(Readable(broadcasts_.NotifyFd()));

    ASSERT_TRUE(keyboard.WaitForComeback(5s));
    EXPECT_TRUE(keyboard.IsPlugged());
    EXPECT_EQ(Dispatch(broadcasts_), AllThree(kDeviceArrival));
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"hid write 07 f0 aa 00 00 00 00 00",
                                                       "sim unplug", "sim plug"}));

    SimKeyboardState reset;
    reset.restores = 1;
    EXPECT_EQ(keyboard.State(), reset);
    // The handle from before the restore is dead; a new open works.
    EXPECT_EQ(commands_.ReadFirmwareVersion(), kFirmwareNotRead);
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    EXPECT_EQ(commands_.ReadFirmwareVersion(), 0x0100);
}

TEST_F(SimKeyboardTest, UnplugDuringTheRestoreKeepsItAway) {
    SimKeyboard keyboard(bus_, Fast());
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    commands_.SendFactoryRestore();
    keyboard.Unplug();  // already off the bus: only the comeback is dropped
    EXPECT_TRUE(keyboard.WaitForComeback(1s));
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(keyboard.IsPlugged());
}

TEST_F(SimKeyboardTest, KeepsTheLightingItIsSent) {
    SimKeyboard keyboard(bus_);
    ASSERT_TRUE(ledEffects_.SetItem(7, LedEffectItem{13, 2, 1, 3}));
    SideLightItem side;
    side.SetLevel(6);
    ASSERT_TRUE(sideLights_.SetItem(9, side));
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);

    TraceCapture trace;
    commands_.SendLedEffect(7);
    commands_.SendSideLight(9);
    const auto s = keyboard.State();
    EXPECT_EQ(s.effect, 7);
    EXPECT_EQ(s.brightness, 5);
    EXPECT_EQ(s.speed, 2);
    EXPECT_EQ(s.direction, 2);
    EXPECT_EQ(s.sideMode, 9);
    EXPECT_EQ(s.sideLevel, 6);
    commands_.SendLedEffectRaw(7);
    EXPECT_EQ(keyboard.State().brightness, 13);
    EXPECT_EQ(keyboard.State().effectByte7, 3);
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"hid set-feature 07 ff ff 07 05 02 02 00",
                                                       "hid set-feature 07 ff ff 20 00 00 69 00",
                                                       "hid set-feature 07 ff ff 07 0d 02 01 03"}));
}

TEST_F(SimKeyboardTest, FirmwareAnswersAndFailuresInTheTrace) {
    SimKeyboard::Options o;
    o.firmwareMajor = 1;
    o.firmwareMinor = 5;
    SimKeyboard keyboard(bus_, o);
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    TraceCapture trace;
    EXPECT_EQ(commands_.ReadFirmwareVersion(), 261);
    keyboard.SetFirmwareAnswer(CommandReport{0x3C, 0x81, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A});
    EXPECT_EQ(commands_.ReadFirmwareVersion(), 0x81FF);
    keyboard.SetFailTransfers(true);
    EXPECT_EQ(commands_.ReadFirmwareVersion(), kFirmwareNotRead);
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{
                                 "hid set-feature 07 f1 00 00 00 00 00 00",
                                 "hid get-feature 07 01 05 00 00 00 00 00",
                                 "hid set-feature 07 f1 00 00 00 00 00 00",
                                 "hid get-feature 3c 81 ff 12 34 56 78 9a",
                                 "hid set-feature 07 f1 00 00 00 00 00 00 fail",
                             }));
}

TEST_F(SimKeyboardTest, OnlyTheCommandCollectionTakesReports) {
    SimKeyboard keyboard(bus_);
    const auto rw = platform::kAccessRead | platform::kAccessWrite;
    const auto share = platform::kShareRead | platform::kShareWrite;
    EXPECT_EQ(bus_.Open(SimKeyboard::kKeysPath, rw, share), nullptr);
    EXPECT_NE(bus_.Open(SimKeyboard::kKeysPath, 0, share), nullptr);
    const auto media = bus_.Open(SimKeyboard::kMediaPath, rw, share);
    ASSERT_NE(media, nullptr);
    const CommandReport query = kFirmwareQueryReport;
    EXPECT_FALSE(media->SetFeature(query));
    EXPECT_EQ(media->Write(query, 100), 0);
    const auto commands = bus_.Open(SimKeyboard::kCommandPath, rw, share);
    ASSERT_NE(commands, nullptr);
    // Another report ID, or a short report, is refused.
    EXPECT_FALSE(commands->SetFeature(CommandReport{0x01, 0xF1}));
    EXPECT_FALSE(commands->SetFeature(std::span<const std::uint8_t>(query.data(), 4)));
    std::array<std::uint8_t, 4> shortBuffer{0x07};
    EXPECT_FALSE(commands->GetFeature(shortBuffer));
    EXPECT_TRUE(commands->SetFeature(query));
}

TEST_F(SimKeyboardTest, StartsAbsentAndIsPluggedLater) {
    SimKeyboard::Options o;
    o.plugged = false;
    SimKeyboard keyboard(bus_, o);
    EXPECT_TRUE(bus_.ListInterfaces().empty());
    EXPECT_EQ(broadcasts_.PendingCount(), 0u);
    TraceCapture trace;
    EXPECT_TRUE(keyboard.Plug());
    EXPECT_FALSE(keyboard.Plug());
    EXPECT_EQ(bus_.ListInterfaces(),
              (std::vector<std::string>{SimKeyboard::kKeysPath, SimKeyboard::kMediaPath,
                                        SimKeyboard::kCommandPath}));
    EXPECT_EQ(Dispatch(broadcasts_), AllThree(kDeviceArrival));
    EXPECT_TRUE(keyboard.Unplug());
    EXPECT_FALSE(keyboard.Unplug());
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"sim plug", "sim unplug"}));
}

TEST_F(SimKeyboardTest, StalledWriteEndsAtItsTimeOutOrWhenUnplugged) {
    SimKeyboard keyboard(bus_);
    keyboard.SetStallWrites(true);
    auto port = bus_.Open(SimKeyboard::kCommandPath, platform::kAccessWrite, 0);
    ASSERT_NE(port, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->Write(kFactoryRestoreReport, 50), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(keyboard.State().restores, 0);
    std::thread unplugger([&] {
        std::this_thread::sleep_for(30ms);
        keyboard.Unplug();
    });
    EXPECT_EQ(port->Write(kFactoryRestoreReport, -1), 0);  // no time limit: the unplug ends it
    unplugger.join();
}

TEST_F(SimKeyboardTest, HandlesOutliveTheKeyboard) {
    auto keyboard = std::make_unique<SimKeyboard>(bus_);
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    keyboard.reset();
    EXPECT_EQ(commands_.ReadFirmwareVersion(), kFirmwareNotRead);
    EXPECT_EQ(commands_.SendFactoryRestore(), 0);
}

TEST_F(SimKeyboardTest, PlugsAndTransfersFromManyThreads) {
    SimKeyboard keyboard(bus_, Fast());
    std::atomic<bool> done{false};
    std::thread sender([&] {
        HidDevice device{locks_, bus_};
        KeyboardCommands commands{device, platform::SystemClock(), ledEffects_, sideLights_};
        while (!done.load()) {
            device.Open(SimKeyboard::kCommandPath);
            commands.SendLedEffectRaw(5);
            commands.ReadFirmwareVersion();
        }
    });
    std::thread dispatcher([&] {
        while (!done.load())
            broadcasts_.DispatchPending();
    });
    for (int i = 0; i < 100; ++i) {
        keyboard.Unplug();
        keyboard.Plug();
    }
    done.store(true);
    sender.join();
    dispatcher.join();
    EXPECT_TRUE(keyboard.IsPlugged());
}

// An interface with input reports, for the bus's read path.
class InputDevice final : public platform::SimHidInterface {
  public:
    std::string Path() const override { return "hid#vid_0001&pid_0002#in"; }
    platform::HidAttributes Attributes() const override { return {1, 2, 0}; }
    platform::HidCaps Caps() const override { return {1, 6, 4, 0, 0}; }
    bool OnSetFeature(std::span<const std::uint8_t>) override { return false; }
    bool OnGetFeature(std::span<std::uint8_t>) override { return false; }
    int OnWrite(std::span<const std::uint8_t>) override { return 0; }
    int OnRead(std::span<std::uint8_t> buffer) override {
        if (!ready.exchange(false))
            return 0;
        buffer[0] = 0x2A;
        return 4;
    }
    std::atomic<bool> ready{false};
};

TEST(SimHidBus, ReadEndsWithAReportATimeOutAnAbortOrAnUnplug) {
    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus(broadcasts);
    auto device = std::make_shared<InputDevice>();
    ASSERT_TRUE(bus.Attach(device));
    EXPECT_FALSE(bus.Attach(device));  // already present
    auto port = bus.Open(device->Path(), platform::kAccessRead, platform::kShareRead);
    ASSERT_NE(port, nullptr);
    std::array<std::uint8_t, 4> buffer{};

    EXPECT_EQ(port->Read(buffer, 20, nullptr), 0);
    device->ready = true;
    EXPECT_EQ(port->Read(buffer, 1000, nullptr), 4);
    EXPECT_EQ(buffer[0], 0x2A);

    platform::Event abort(platform::Event::Reset::Manual);
    std::thread aborter([&] {
        std::this_thread::sleep_for(20ms);
        abort.Set();
    });
    EXPECT_EQ(port->Read(buffer, -1, &abort), 0);
    aborter.join();
    EXPECT_FALSE(abort.IsSet());  // the abort was consumed

    std::thread unplugger([&] {
        std::this_thread::sleep_for(20ms);
        bus.Detach(device->Path());
    });
    EXPECT_EQ(port->Read(buffer, -1, nullptr), 0);
    unplugger.join();
    EXPECT_FALSE(bus.Detach(device->Path()));
}

}  // namespace
}  // namespace keylume
