// The Linux HID backend against a real kernel: a uhid-played keyboard is found, named, opened and
// driven through hidapi over hidraw, and its arrivals and removals reach the program as broadcasts.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "UhidKeyboard.h"
#include "core/device/DeviceChange.h"
#include "core/device/HidDevice.h"
#include "core/device/HidEnumeration.h"
#include "core/protocol/KeyboardCommands.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/SideLightStore.h"
#include "platform/linux/HidapiHidBus.h"
#include "platform/linux/UdevBroadcasts.h"

using namespace std::chrono_literals;

namespace keylume::vmtest {
namespace {

// A uhid device has no USB interface above it, so its names carry no "&mi_" part: the identity a
// config.xml needs for it is interface -1, collection 2.
constexpr std::int32_t kVid = 0x1A2C;
constexpr std::int32_t kPid = 0x2D3E;
constexpr std::int32_t kInterface = -1;
constexpr std::int32_t kCollection = 2;

class LinuxHidBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!InVm())
            GTEST_SKIP() << "runs only inside the test VM";
    }

    // Waits until the bus lists `count` interfaces of the keyboard.
    std::vector<std::string> KeyboardNames(std::size_t count) {
        std::vector<std::string> names;
        for (int i = 0; i < 300; ++i) {
            names.clear();
            for (const auto& name : bus_.ListInterfaces()) {
                if (name.rfind("hid#vid_1a2c&pid_2d3e", 0) == 0)
                    names.push_back(name);
            }
            if (names.size() == count)
                break;
            std::this_thread::sleep_for(10ms);
        }
        return names;
    }

    platform::HidapiHidBus bus_;
};

TEST_F(LinuxHidBackend, NamesBothCollectionsOfTheNodeInTheCanonicalForm) {
    UhidKeyboard keyboard;
    ASSERT_TRUE(keyboard.Created());
    const auto names = KeyboardNames(2);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].rfind("hid#vid_1a2c&pid_2d3e&col01#hidraw", 0), 0u) << names[0];
    EXPECT_EQ(names[1].rfind("hid#vid_1a2c&pid_2d3e&col02#hidraw", 0), 0u) << names[1];
    const auto matches = EnumerateHidInterfaces(bus_, kVid, std::vector<std::int32_t>{kPid},
                                                kInterface, kCollection);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].path, names[1]);
    EXPECT_EQ(matches[0].usagePage, 0xFF00);
    EXPECT_EQ(matches[0].usage, 0x01);
}

TEST_F(LinuxHidBackend, CommandsCrossTheKernelByteForByteAndTheFirmwareAnswerComesBack) {
    UhidKeyboard keyboard;
    ASSERT_TRUE(keyboard.Created());
    ASSERT_EQ(KeyboardNames(2).size(), 2u);
    HidDevice device(platform::SystemNamedLocks(), bus_);
    const std::vector<std::int32_t> products{kPid};
    ASSERT_NE(device.Open(kVid, products, kInterface, kCollection, nullptr), 0);

    LedEffectStore leds;
    SideLightStore sides;
    KeyboardCommands commands(device, platform::SystemClock(), leds, sides);
    keyboard.SetGetReportReply({0x07, 0x01, 0x05, 0, 0, 0, 0, 0});
    EXPECT_EQ(commands.ReadFirmwareVersion(), 0x0105);
    commands.SendLedEffect(5);
    commands.SendSideLight(4);

    std::vector<std::pair<int, std::vector<std::uint8_t>>> sets;
    for (int i = 0; i < 100 && sets.size() < 3; ++i) {
        std::this_thread::sleep_for(10ms);
        sets = keyboard.SetReports();
    }
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].first, 7);
    EXPECT_EQ(sets[0].second, (std::vector<std::uint8_t>{0x07, 0xF1, 0, 0, 0, 0, 0, 0}));
    for (const auto& set : sets) {
        EXPECT_EQ(set.first, 7);
        ASSERT_EQ(set.second.size(), 8u);
        EXPECT_EQ(set.second[0], 0x07);
    }
    EXPECT_EQ(sets[1].second[1], 0xFF);
    EXPECT_EQ(sets[1].second[3], 0x05);  // the effect travels in byte 3

    // An output report reaches the device as it was written.
    const HidDevice::Report report{0x07, 0xF0, 0xAA, 0, 0, 0, 0, 0};
    EXPECT_EQ(device.Write(report), 8);
    std::vector<std::vector<std::uint8_t>> outputs;
    for (int i = 0; i < 100 && outputs.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        outputs = keyboard.OutputReports();
    }
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs[0], std::vector<std::uint8_t>(report.begin(), report.end()));
    device.Close();
}

// Collects broadcasts the way the UI thread does: wait for the fd, then dispatch.
std::vector<platform::DeviceBroadcast> Drain(platform::UdevBroadcasts& broadcasts,
                                             std::vector<platform::DeviceBroadcast>& got,
                                             std::size_t want) {
    for (int i = 0; i < 100 && got.size() < want; ++i) {
        pollfd p{broadcasts.NotifyFd(), POLLIN, 0};
        if (::poll(&p, 1, 20) > 0)
            broadcasts.DispatchPending();
    }
    return got;
}

TEST_F(LinuxHidBackend, ArrivalsAndRemovalsBecomeBroadcastsThatMatchOnlyTheKeyboard) {
    // No udevd runs in the VM: the monitor listens to the kernel's own events.
    platform::UdevBroadcasts broadcasts("kernel");
    ASSERT_GE(broadcasts.NotifyFd(), 0);
    std::vector<platform::DeviceBroadcast> got;
    broadcasts.SetListener([&](const platform::DeviceBroadcast& b) { got.push_back(b); });

    auto keyboard = std::make_unique<UhidKeyboard>();
    ASSERT_TRUE(keyboard->Created());
    Drain(broadcasts, got, 2);
    ASSERT_EQ(got.size(), 2u);
    int keyboardArrivals = 0;
    for (const auto& b : got) {
        EXPECT_EQ(b.eventCode, platform::kDeviceArrival);
        EXPECT_EQ(b.deviceType, platform::kDeviceTypeInterface);
        if (DecideDeviceChange(b.eventCode, b.deviceType, b.path, kVid, kPid, kInterface,
                               kCollection) == DeviceChange::KeyboardArrived) {
            ++keyboardArrivals;
        }
    }
    // col01 does not match collection 2; col02 does.
    EXPECT_EQ(keyboardArrivals, 1);

    got.clear();
    keyboard.reset();
    Drain(broadcasts, got, 2);
    ASSERT_EQ(got.size(), 2u);
    int keyboardRemovals = 0;
    for (const auto& b : got) {
        EXPECT_EQ(b.eventCode, platform::kDeviceRemoveComplete);
        if (DecideDeviceChange(b.eventCode, b.deviceType, b.path, kVid, kPid, kInterface,
                               kCollection) == DeviceChange::KeyboardRemoved) {
            ++keyboardRemovals;
        }
    }
    EXPECT_EQ(keyboardRemovals, 1);

    // An unrelated device: its arrival parses but is not the keyboard.
    got.clear();
    UhidKeyboard::Options other;
    other.vendor = 0x1111;
    other.product = 0x2222;
    other.name = "Unrelated device";
    UhidKeyboard unrelated(other);
    ASSERT_TRUE(unrelated.Created());
    Drain(broadcasts, got, 2);
    ASSERT_FALSE(got.empty());
    for (const auto& b : got) {
        EXPECT_EQ(DecideDeviceChange(b.eventCode, b.deviceType, b.path, kVid, kPid, kInterface,
                                     kCollection),
                  DeviceChange::OtherArrived)
            << b.path;
    }
}

}  // namespace
}  // namespace keylume::vmtest
