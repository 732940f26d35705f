#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "FakeHid.h"
#include "core/device/HidDevice.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimKeyboard.h"
#include "support/Portable.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using platform::SimKeyboard;
using testing::FakeHidBus;
using testing::RecordingLocks;

constexpr const char* kPath = "hid#vid_1a2c&pid_2d3e&mi_01&col02#a";
constexpr const char* kOtherPath = "hid#vid_1a2c&pid_2d3e&mi_01&col01#b";
const HidDevice::Report kReport{0x07, 0xF0, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x08};

class HidDeviceFake : public ::testing::Test {
  protected:
    RecordingLocks locks_;
    FakeHidBus bus_;
    HidDevice device_{locks_, bus_};
};

TEST_F(HidDeviceFake, OpenOfAMissingPathFailsAndCloseKeepsItClosed) {
    EXPECT_EQ(device_.Open("hid#vid_1a2c&pid_2d3e&mi_01&col02#gone"), 0);
    EXPECT_FALSE(device_.IsOpen());
    device_.Close();
    EXPECT_FALSE(device_.IsOpen());
    HidDevice::Report r = kReport;
    EXPECT_FALSE(device_.SetFeature(r));
    EXPECT_FALSE(device_.GetFeature(r));
    EXPECT_EQ(device_.Write(r), 0);
}

// An operation whose system-wide lock cannot be had is not carried out unguarded.
TEST_F(HidDeviceFake, NoOperationRunsWithoutItsLock) {
    auto& keyboard = bus_.Add(kPath);
    auto& other = bus_.Add(kOtherPath);
    ASSERT_NE(device_.Open(kPath), 0);
    locks_.owns = false;
    HidDevice::Report r = kReport;
    EXPECT_EQ(device_.Write(r), 0);
    EXPECT_FALSE(device_.SetFeature(r));
    EXPECT_FALSE(device_.GetFeature(r));
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(device_.Read(buffer, nullptr, 100), 0);
    EXPECT_EQ(device_.Open(kOtherPath), 0);
    EXPECT_TRUE(keyboard.writes.empty());
    EXPECT_TRUE(keyboard.readLengths.empty());
    EXPECT_EQ(keyboard.portsOpened, 1);
    EXPECT_EQ(other.portsOpened, 0);
    EXPECT_EQ(keyboard.livePorts, 1);  // nor was the open one let go by the refused open
    // Letting go needs no lock: the device still closes.
    device_.Close();
    EXPECT_FALSE(device_.IsOpen());
    EXPECT_EQ(keyboard.livePorts, 0);
}

TEST_F(HidDeviceFake, ReopenLetsTheFirstInterfaceGoFirst) {
    auto& first = bus_.Add(kPath);
    bus_.Add(kOtherPath);
    ASSERT_NE(device_.Open(kPath), 0);
    ASSERT_NE(device_.Open(kOtherPath), 0);
    EXPECT_EQ(bus_.livePortsAtOpen, (std::vector<int>{0, 0}));
    EXPECT_EQ(first.livePorts, 0);
    EXPECT_TRUE(device_.IsOpen());
    // A failed open also leaves nothing open.
    EXPECT_EQ(device_.Open("hid#vid_1a2c&pid_2d3e#none"), 0);
    EXPECT_FALSE(device_.IsOpen());
}

TEST_F(HidDeviceFake, InterfaceThatVanishesBeforeTheOpenIsNotOpened) {
    bus_.Add(kPath).opens = false;
    std::uint16_t version = 0;
    EXPECT_EQ(device_.Open(0x1A2C, {}, 1, 2, &version), 0);
    EXPECT_FALSE(device_.IsOpen());
}

TEST_F(HidDeviceFake, EmptyPathChangesNothing) {
    bus_.Add(kPath);
    ASSERT_NE(device_.Open(kPath), 0);
    EXPECT_EQ(device_.Open(""), 0);
    EXPECT_TRUE(device_.IsOpen());
}

struct LengthCase {
    std::uint16_t announced;
    std::size_t expected;
};

class HidDeviceWriteLength : public HidDeviceFake,
                             public ::testing::WithParamInterface<LengthCase> {};

TEST_P(HidDeviceWriteLength, OutputReportLengthCutsTheWrite) {
    auto& iface = bus_.Add(kPath);
    iface.caps.outputReportByteLength = GetParam().announced;
    ASSERT_NE(device_.Open(kPath), 0);
    EXPECT_EQ(device_.Write(kReport), static_cast<int>(GetParam().expected));
    ASSERT_EQ(iface.writes.size(), 1u);
    EXPECT_EQ(iface.writes[0],
              std::vector<std::uint8_t>(kReport.begin(), kReport.begin() + GetParam().expected));
    EXPECT_EQ(iface.writeTimeouts[0], HidDevice::kWriteTimeoutMs);
}

INSTANTIATE_TEST_SUITE_P(Lengths, HidDeviceWriteLength,
                         ::testing::Values(LengthCase{5, 5}, LengthCase{0, 8}, LengthCase{9, 8},
                                           LengthCase{1, 1}));

TEST_F(HidDeviceFake, UnreadableCapsKeepThePreviousOnes) {
    auto& a = bus_.Add(kPath);
    a.caps.outputReportByteLength = 5;
    bus_.Add(kOtherPath).capsReadable = false;
    ASSERT_NE(device_.Open(kPath), 0);
    ASSERT_NE(device_.Open(kOtherPath), 0);
    EXPECT_EQ(device_.Caps().outputReportByteLength, 5);
}

TEST_F(HidDeviceFake, WriteNeverReportsMoreThanItGave) {
    auto& iface = bus_.Add(kPath);
    iface.writeResult = 64;
    ASSERT_NE(device_.Open(kPath), 0);
    EXPECT_EQ(device_.Write(kReport), 8);
}

TEST_F(HidDeviceFake, ReadIsBoundedAndNeedsATimeout) {
    auto& iface = bus_.Add(kPath);
    iface.caps.inputReportByteLength = 4;
    iface.readResult = 4;
    ASSERT_NE(device_.Open(kPath), 0);
    std::array<std::uint8_t, 16> buffer{};
    EXPECT_EQ(device_.Read(buffer, nullptr, 0), 0);
    EXPECT_EQ(device_.Read(buffer, nullptr, -5), 0);
    EXPECT_EQ(device_.Read(std::span<std::uint8_t>(), nullptr, 100), 0);
    EXPECT_TRUE(iface.readLengths.empty());
    EXPECT_EQ(device_.Read(buffer, nullptr, 100), 4);
    EXPECT_EQ(iface.readLengths, std::vector<std::size_t>{4});
}

TEST_F(HidDeviceFake, EveryOperationTakesTheLockOfItsName) {
    bus_.Add(kPath);
    HidDevice::Report r = kReport;
    std::array<std::uint8_t, 8> buffer{};
    const std::int32_t product[] = {0x2D3E};
    device_.Open(0x1A2C, product, 1, 2, nullptr);
    device_.SetFeature(r);
    device_.GetFeature(r);
    device_.Write(r);
    device_.Read(buffer, nullptr, 10);
    device_.Close();
    EXPECT_EQ(locks_.Names(), (std::vector<std::string>{"HidDevice::Open", "HidDevice::Open",
                                                        "HidDevice::SetFeature",
                                                        "HidDevice::GetFeature", "HidDevice::Write",
                                                        "HidDevice::Read", "HidDevice::Close"}));
}

// The built-in keyboard behind the real bus.
class HidDeviceSim : public ::testing::Test {
  protected:
    platform::SimBroadcasts broadcasts_;
    platform::SimHidBus bus_{broadcasts_};
    SimKeyboard keyboard_{bus_};
    RecordingLocks locks_;
    HidDevice device_{locks_, bus_};
    const std::int32_t product_[1] = {0x2D3E};
};

TEST_F(HidDeviceSim, OpensTheFirstMatchAndGivesItsVersion) {
    std::uint16_t version = 0;
    ASSERT_NE(device_.Open(0x1A2C, product_, 1, -1, &version), 0);
    EXPECT_EQ(version, 0x0100);
    // The first mi_01 collection has no feature reports: this is the media collection.
    HidDevice::Report r{0x07, 0xF1};
    EXPECT_FALSE(device_.GetFeature(r));
    ASSERT_NE(device_.Open(0x1A2C, product_, 1, 2, nullptr), 0);
    EXPECT_TRUE(device_.GetFeature(r));
    EXPECT_EQ(r, (HidDevice::Report{0x07, 0x01, 0x00, 0, 0, 0, 0, 0}));
    EXPECT_EQ(device_.Caps().featureReportByteLength, 8);
}

TEST_F(HidDeviceSim, NoMatchLeavesTheDeviceClosed) {
    std::uint16_t version = 77;
    EXPECT_EQ(device_.Open(0x1A2C, product_, 3, -1, &version), 0);
    EXPECT_EQ(version, 77);
    EXPECT_FALSE(device_.IsOpen());
    // The keys collection matches but cannot be opened for reading and writing.
    EXPECT_EQ(device_.Open(0x1A2C, product_, 0, -1, &version), 0);
    EXPECT_FALSE(device_.IsOpen());
}

TEST_F(HidDeviceSim, UnpluggedInterfaceFailsEveryCall) {
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    keyboard_.Unplug();
    HidDevice::Report r{0x07, 0xF1};
    EXPECT_FALSE(device_.SetFeature(r));
    EXPECT_FALSE(device_.GetFeature(r));
    EXPECT_EQ(device_.Write(r), 0);
    // Plugged back, the old handle stays dead until the device is opened again.
    keyboard_.Plug();
    EXPECT_FALSE(device_.SetFeature(r));
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    EXPECT_TRUE(device_.SetFeature(r));
}

TEST_F(HidDeviceSim, WriteThatNeverCompletesTimesOutAndTheNextOneWorks) {
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    keyboard_.SetStallWrites(true);
    const HidDevice::Report r{0x07, 0x00};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device_.Write(r), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 3000ms);
    EXPECT_LT(waited, 4000ms);
    keyboard_.SetStallWrites(false);
    EXPECT_EQ(device_.Write(r), 8);
}

TEST_F(HidDeviceSim, CloseWhileAnotherThreadSendsIsSafe) {
    ASSERT_NE(device_.Open(SimKeyboard::kCommandPath), 0);
    std::atomic<bool> done{false};
    std::thread sender([&] {
        const HidDevice::Report r{0x07, 0xFF, 0xFF, 0x01, 0x02, 0x00, 0x00, 0x00};
        while (!done.load())
            device_.SetFeature(r);
    });
    for (int i = 0; i < 200; ++i) {
        device_.Close();
        device_.Open(SimKeyboard::kCommandPath);
    }
    done.store(true);
    sender.join();
    EXPECT_TRUE(device_.IsOpen());
}

// The start-up path holds "HidDevice::Open" itself while it opens.
TEST(HidDeviceLocks, OpenUnderTheHeldOpenLockDoesNotBlock) {
    const auto pattern = test::MakeTempFolder("keylume-hiddevice");
    ASSERT_FALSE(pattern.empty());
    test::SetEnvironment("XDG_RUNTIME_DIR", pattern.string());
    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus{broadcasts};
    SimKeyboard keyboard{bus};
    HidDevice device{platform::SystemNamedLocks(), bus};
    {
        const auto held = device.Locks().Acquire("HidDevice::Open");
        ASSERT_TRUE(held->Owns());
        EXPECT_NE(device.Open(SimKeyboard::kCommandPath), 0);
        const std::int32_t product[] = {0x2D3E};
        EXPECT_NE(device.Open(0x1A2C, product, 1, 2, nullptr), 0);
    }
    std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace keylume
