#include "core/drivers/VHidev.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimVirtualKeyboard.h"

namespace keylume {
namespace {

using ::testing::ElementsAre;
using Packet = std::array<std::uint8_t, 64>;

Packet PacketOf(std::initializer_list<std::uint8_t> head) {
    Packet p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

class VHidevTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bus.Attach(vkbd);
        ASSERT_TRUE(vhidev.FindDevice(bus));
    }

    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus{broadcasts};
    std::shared_ptr<platform::SimVirtualKeyboard> vkbd =
        std::make_shared<platform::SimVirtualKeyboard>();
    VHidev vhidev;
};

struct PressCase {
    const char* name;
    std::uint16_t page;
    std::uint16_t usage;
    int result;
    std::optional<Packet> packet;  // none: nothing is sent

    friend void PrintTo(const PressCase& c, std::ostream* os) { *os << c.name; }
};

Packet KeyboardWithBit(std::size_t dataByte, std::uint8_t bits) {
    Packet p = PacketOf({0x05, 0x01});
    p[2 + dataByte] = bits;
    return p;
}

class PressUsageTest : public VHidevTest, public ::testing::WithParamInterface<PressCase> {};

TEST_P(PressUsageTest, SendsTheReportOfItsPage) {
    const auto& c = GetParam();
    EXPECT_EQ(vhidev.PressUsage(c.page, c.usage, true), c.result);
    if (!c.packet) {
        EXPECT_EQ(vkbd->PacketCount(), 0u);
        return;
    }
    ASSERT_EQ(vkbd->PacketCount(), 1u);
    EXPECT_EQ(vkbd->Packets()[0], *c.packet);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PressUsageTest,
    ::testing::Values(PressCase{"KeyA", 7, 4, 1, KeyboardWithBit(1, 0x10)},
                      PressCase{"LowEightBitsOnly", 7, 0x1E0, 1, KeyboardWithBit(29, 0x01)},
                      PressCase{"Consumer", 12, 0xE9, 1, PacketOf({0x05, 0x03, 0xE9, 0x00})},
                      PressCase{"ConsumerWide", 12, 0x223, 1, PacketOf({0x05, 0x03, 0x23, 0x02})},
                      PressCase{"SystemPower", 1, 0x81, 1, PacketOf({0x05, 0x04, 0x81, 0x00})},
                      PressCase{"DesktopBelow80", 1, 0x02, 0, std::nullopt},
                      PressCase{"MouseX", 1, 0x30, 1, PacketOf({0x05, 0x02, 0x00, 0x01})},
                      PressCase{"Wheel", 1, 0x38, 1,
                                PacketOf({0x05, 0x02, 0x00, 0x00, 0x00, 0x01})},
                      PressCase{"MouseButton", 5, 1, 1, PacketOf({0x05, 0x02, 0x02})},
                      PressCase{"MouseButtonOutOfRange", 5, 9, 1, PacketOf({0x05, 0x02})},
                      PressCase{"OtherPage", 9, 1, 0, std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(VHidevTest, ReportsKeepEveryHeldUsage) {
    vhidev.PressUsage(7, 4, true);
    vhidev.PressUsage(7, 5, true);
    vhidev.PressUsage(7, 4, false);
    EXPECT_EQ(vkbd->Packets().back(), KeyboardWithBit(1, 0x20));
    EXPECT_THAT(vkbd->PressedKeys(), ElementsAre(5));
    vhidev.PressUsage(7, 5, false);
    EXPECT_EQ(vkbd->Packets().back(), PacketOf({0x05, 0x01}));

    vhidev.PressUsage(12, 0xE9, true);
    vhidev.PressUsage(12, 0xE9, false);
    EXPECT_EQ(vkbd->Packets().back(), PacketOf({0x05, 0x03, 0x00, 0x00}));
    EXPECT_TRUE(vkbd->NothingHeld());
    EXPECT_EQ(vkbd->Text(), "ab");
}

TEST_F(VHidevTest, ReleaseAllSendsFourReportsInOrder) {
    vhidev.PressUsage(7, 4, true);
    vhidev.PressUsage(5, 1, true);
    vhidev.PressUsage(12, 0xCD, true);
    vhidev.PressUsage(1, 0x82, true);
    const std::size_t before = vkbd->PacketCount();
    EXPECT_EQ(vhidev.ReleaseAll(), 1);
    const auto packets = vkbd->Packets();
    ASSERT_EQ(packets.size(), before + 4);
    EXPECT_THAT(std::vector<Packet>(packets.end() - 4, packets.end()),
                ElementsAre(PacketOf({0x05, 0x01}), PacketOf({0x05, 0x02}), PacketOf({0x05, 0x03}),
                            PacketOf({0x05, 0x04})));
    EXPECT_TRUE(vkbd->NothingHeld());
}

TEST_F(VHidevTest, ClosingTheDeviceReleasesWhatIsHeld) {
    vhidev.PressUsage(7, 4, true);
    vhidev.Close();
    EXPECT_FALSE(vhidev.IsOpen());
    EXPECT_TRUE(vkbd->NothingHeld());
    // Without a device nothing is sent, but the state still changes.
    EXPECT_EQ(vhidev.PressUsage(7, 6, true), 0);
    ASSERT_TRUE(vhidev.FindDevice(bus));
    vhidev.PressUsage(7, 7, true);
    EXPECT_THAT(vkbd->PressedKeys(), ElementsAre(6, 7));
}

TEST(VirtualKeyboardPacket, FramesTheReport) {
    const std::uint8_t data[70] = {0xAA, 0xBB};
    auto withId = MakeVirtualKeyboardPacket(data, 70, 3);
    EXPECT_EQ(withId[0], 0x05);
    EXPECT_EQ(withId[1], 0x03);
    EXPECT_EQ(withId[2], 0xAA);
    auto without = MakeVirtualKeyboardPacket(data, 2, 0);
    EXPECT_EQ(without, PacketOf({0x05, 0xAA, 0xBB}));
    EXPECT_EQ(MakeVirtualKeyboardPacket(nullptr, 5, 1), PacketOf({0x05, 0x01}));
}

// --- FindVirtualKeyboard -----------------------------------------------------------------------

// A bus of scripted interfaces whose ports count how many of them are open.
class FakeBus final : public platform::HidBus {
  public:
    struct Entry {
        std::string path;
        platform::HidAttributes attributes;
        platform::HidCaps caps;
        bool opens = true;
        bool attributesOk = true;
    };

    std::vector<std::string> ListInterfaces() override {
        std::vector<std::string> paths;
        for (const auto& e : entries)
            paths.push_back(e.path);
        return paths;
    }
    std::unique_ptr<platform::HidPort> Open(std::string_view path, std::uint32_t,
                                            std::uint32_t) override {
        for (const auto& e : entries) {
            if (e.path == path && e.opens)
                return std::make_unique<Port>(e, open);
        }
        return nullptr;
    }

    std::vector<Entry> entries;
    std::shared_ptr<std::vector<std::string>> open = std::make_shared<std::vector<std::string>>();

  private:
    class Port final : public platform::HidPort {
      public:
        Port(Entry e, std::shared_ptr<std::vector<std::string>> o)
            : entry_(std::move(e)), open_(std::move(o)) {
            open_->push_back(entry_.path);
        }
        ~Port() override { std::erase(*open_, entry_.path); }
        bool GetAttributes(platform::HidAttributes& out) override {
            out = entry_.attributes;
            return entry_.attributesOk;
        }
        bool GetCaps(platform::HidCaps& out) override {
            out = entry_.caps;
            return true;
        }
        bool SetFeature(std::span<const std::uint8_t>) override { return false; }
        bool GetFeature(std::span<std::uint8_t>) override { return false; }
        int Write(std::span<const std::uint8_t> r, int) override {
            return static_cast<int>(r.size());
        }
        int Read(std::span<std::uint8_t>, int, platform::Event*) override { return 0; }

      private:
        Entry entry_;
        std::shared_ptr<std::vector<std::string>> open_;
    };
};

platform::HidCaps Caps(std::uint16_t page, std::uint16_t usage) {
    platform::HidCaps caps;
    caps.usagePage = page;
    caps.usage = usage;
    return caps;
}

TEST(FindVirtualKeyboard, LastAcceptedInterfaceWinsAndTheOthersAreClosed) {
    FakeBus bus;
    bus.entries = {
        {"first", {0xDEED, 0xFEED, 1}, Caps(0xFF00, 1)},
        {"keyboard", {0x1A2C, 0x2D3E, 1}, Caps(0xFF00, 1)},
        {"wrong-collection", {0xDEED, 0xFEED, 1}, Caps(0x0001, 6)},
        {"no-attributes", {0xDEED, 0xFEED, 1}, Caps(0xFF00, 1), true, false},
        {"cannot-open", {0xDEED, 0xFEED, 1}, Caps(0xFF00, 1), false},
        {"second", {0xDEED, 0xFEED, 1}, Caps(0xFF00, 1)},
        {"after", {0xDEED, 0xBEEF, 1}, Caps(0xFF00, 1)},
    };
    std::unique_ptr<platform::HidPort> port;
    ASSERT_TRUE(FindVirtualKeyboard(bus, &port));
    ASSERT_NE(port, nullptr);
    EXPECT_THAT(*bus.open, ElementsAre("second"));
}

TEST(FindVirtualKeyboard, FailsWithoutOutOrInterfaces) {
    FakeBus bus;
    std::unique_ptr<platform::HidPort> port;
    EXPECT_FALSE(FindVirtualKeyboard(bus, &port));
    EXPECT_FALSE(FindVirtualKeyboard(bus, nullptr));
    bus.entries = {{"keyboard", {0x1A2C, 0x2D3E, 1}, Caps(0xFF00, 1)}};
    EXPECT_FALSE(FindVirtualKeyboard(bus, &port));
    EXPECT_EQ(port, nullptr);
    EXPECT_TRUE(bus.open->empty());
}

// --- Two threads ---------------------------------------------------------------------------------

// Remaps on one thread, playback-style presses on another. Each change goes out with its packet in
// one step: consecutive keyboard packets differ in exactly one usage, and the last shows the end.
TEST_F(VHidevTest, ChangesFromTwoThreadsLeaveInOrder) {
    constexpr int kRounds = 2000;
    auto hammer = [this](std::uint16_t first) {
        for (int i = 0; i < kRounds; ++i) {
            const auto usage = static_cast<std::uint16_t>(first + i % 8);
            vhidev.PressUsage(7, usage, true);
            vhidev.PressUsage(12, 0xE9, i % 2 == 0);
            vhidev.PressUsage(7, usage, false);
        }
    };
    std::thread remaps(hammer, 0x04);
    std::thread playback(hammer, 0x1E);
    remaps.join();
    playback.join();

    const auto packets = vkbd->Packets();
    ASSERT_EQ(packets.size(), 2u * 3u * kRounds);
    const Packet* previous = nullptr;
    for (const auto& p : packets) {
        if (p[1] != 1)
            continue;
        if (previous != nullptr) {
            int changed = 0;
            for (std::size_t i = 2; i < 64; ++i)
                changed += __builtin_popcount((*previous)[i] ^ p[i]);
            ASSERT_EQ(changed, 1);
        }
        previous = &p;
    }
    EXPECT_TRUE(vkbd->PressedKeys().empty());
}

}  // namespace
}  // namespace keylume
