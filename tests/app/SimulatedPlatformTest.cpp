#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/SimulatedPlatform.h"
#include "core/device/HidDevice.h"
#include "core/drivers/FilterChannel.h"
#include "core/drivers/VHidev.h"
#include "core/macros/MacroPlayer.h"
#include "core/macros/VHidevSink.h"
#include "core/protocol/KeyboardCommands.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/SideLightStore.h"
#include "platform/Trace.h"
#include "support/Eventually.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using testing::Eventually;

// Collects trace lines without their time stamps.
class TraceCapture {
  public:
    TraceCapture() {
        platform::Trace::SetSink([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line.substr(line.find(' ') + 1));
        });
    }
    ~TraceCapture() { platform::Trace::SetSink(nullptr); }
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

TEST(SimulatedPlatform, ARemapGoesFromTheFilterThroughPlaybackToTheVirtualKeyboard) {
    TraceCapture trace;
    SimulatedPlatform platform;
    RecordStore records;
    KeyRecord aTypesB;
    aTypesB.code = 0x70004;
    aTypesB.play = 1;
    aTypesB.items = {{0x70005, 1, 0, L"B"}};
    records.AddOrReplace(aTypesB);

    VHidev virtualKeyboard;
    ASSERT_TRUE(virtualKeyboard.FindDevice(platform.Hid()));
    VHidevSink sink(virtualKeyboard);
    MacroPlayer player(sink, records);
    FilterChannel channel(platform.Filter(), records);
    channel.AddListener(&player, &MacroPlayer::OnFilterKey);
    channel.Open();
    ASSERT_TRUE(channel.StartListening());
    channel.UploadKeyTable();

    EXPECT_TRUE(platform.KeyFilter().InjectKey(7, 0x04, true));
    ASSERT_TRUE(Eventually([&] { return platform.VirtualKeyboard().PressedKeys().size() == 1; }));
    EXPECT_EQ(platform.VirtualKeyboard().PressedKeys().front(), 0x05);
    platform.KeyFilter().InjectKey(7, 0x04, false);
    ASSERT_TRUE(Eventually([&] { return platform.VirtualKeyboard().NothingHeld(); }));
    platform.KeyFilter().TapKey(7, 0x06);  // C is not bound

    // The user saw "b" (typed by the virtual keyboard) and "c" (passed on), never "a".
    ASSERT_TRUE(Eventually([&] { return platform.SystemInput().Text() == "bc"; }))
        << platform.SystemInput().Text();

    const auto lines = trace.Lines();
    const auto event = std::find(lines.begin(), lines.end(), "filter event 04 00 07 01");
    ASSERT_NE(event, lines.end());
    const auto packet = std::find_if(
        event, lines.end(), [](const std::string& line) { return line.rfind("vkbd ", 0) == 0; });
    ASSERT_NE(packet, lines.end());
    EXPECT_EQ(*packet, "vkbd 05 01 00 20");
}

TEST(SimulatedPlatform, TheKeyboardIsFoundByTheShippedIdentityAndAnswersItsFirmware) {
    SimulatedPlatform::Options options;
    options.firmwareMajor = 1;
    options.firmwareMinor = 5;
    SimulatedPlatform platform(options);
    HidDevice device(platform.Locks(), platform.Hid());
    const std::vector<std::int32_t> products{0x2D3E};
    ASSERT_NE(device.Open(0x1A2C, products, 1, 2, nullptr), 0);
    LedEffectStore leds;
    SideLightStore sides;
    KeyboardCommands commands(device, platform.Time(), leds, sides);
    EXPECT_EQ(commands.ReadFirmwareVersion(), 0x0105);

    SimulatedPlatform absent(SimulatedPlatform::Options{false});
    HidDevice none(absent.Locks(), absent.Hid());
    EXPECT_EQ(none.Open(0x1A2C, products, 1, 2, nullptr), 0);
    // The virtual keyboard is there either way.
    VHidev virtualKeyboard;
    EXPECT_TRUE(virtualKeyboard.FindDevice(absent.Hid()));
}

}  // namespace
}  // namespace keylume
