// The keyboard link end to end, as start-up uses it: the built-in keyboard found by the shipped
// config.xml, its firmware read, the stored lighting effect and a side-light command sent, every
// exchange in the trace file. The trace is printed so a run shows it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/device/HidDevice.h"
#include "core/protocol/KeyboardCommands.h"
#include "core/settings/AppConfig.h"
#include "platform/NamedLock.h"
#include "platform/Trace.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimKeyboard.h"
#include "support/Portable.h"

namespace fs = std::filesystem;

namespace keylume {
namespace {

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ShippedConfig, OpensTheBuiltInKeyboardAndTracesTheExchanges) {
    const fs::path folder = test::MakeTempFolder("keylume-link");
    ASSERT_FALSE(folder.empty());
    test::SetEnvironment("XDG_RUNTIME_DIR", folder.string());  // the named locks' folder

    AppConfig config;
    ASSERT_TRUE(config.Load(fs::path(KEYLUME_SOURCE_DIR) / "data" / "config.xml"));

    // Stored settings: effect 7 selected, side-light mode 5 at level 7.
    std::string effects = "<?xml version=\"1.0\"?>\n<effect sel=\"7\">\n";
    for (int i = 0; i < 21; ++i)
        effects += i == 7
                       ? "<item speed=\"2\" brightness=\"13\" deriction=\"1\" selection=\"3\"/>\n"
                       : "<item speed=\"0\" brightness=\"13\" deriction=\"0\" selection=\"0\"/>\n";
    effects += "</effect>\n";
    WriteFile(folder / "ledeffect.xml", effects);
    std::string sides = "<?xml version=\"1.0\"?>\n<effect sel=\"5\">\n";
    for (int i = 0; i < 12; ++i)
        sides += std::string("<item brightness=\"") + (i == 5 ? "7" : "4") + "\"/>\n";
    sides += "</effect>\n";
    WriteFile(folder / "sidemodel.xml", sides);
    LedEffectStore ledEffects;
    SideLightStore sideLights;
    ASSERT_TRUE(ledEffects.Load(folder / "ledeffect.xml"));
    ASSERT_TRUE(sideLights.Load(folder / "sidemodel.xml"));

    const fs::path tracePath = folder / "trace.txt";
    ASSERT_TRUE(platform::Trace::OpenFile(tracePath.string()));
    {
        platform::SimBroadcasts broadcasts;
        platform::SimHidBus bus(broadcasts);
        platform::SimKeyboard::Options absent;
        absent.plugged = false;
        platform::SimKeyboard keyboard(bus, absent);
        keyboard.Plug();

        HidDevice device(platform::SystemNamedLocks(), bus);
        KeyboardCommands commands(device, platform::SystemClock(), ledEffects, sideLights);
        std::vector<std::int32_t> products;
        if (config.pid != 0)
            products.push_back(config.pid);
        std::uint16_t version = 0;
        ASSERT_NE(
            device.Open(config.vid, products, config.usbInterface, config.subdevice, &version), 0);
        commands.ResetPacing();
        EXPECT_EQ(commands.ReadFirmwareVersion(), 0x0100);
        commands.SendLedEffectRaw(ledEffects.Sel());
        commands.SendSideLight(sideLights.Sel());
        EXPECT_EQ(keyboard.State().effect, 7);
        EXPECT_EQ(keyboard.State().sideMode, 5);
    }
    platform::Trace::OpenFile("");

    const auto lines = ReadLines(tracePath);
    std::cout << "trace " << tracePath << ":\n";
    for (const auto& line : lines)
        std::cout << "  " << line << "\n";
    const std::vector<std::string> expected = {
        "sim plug",
        "hid set-feature 07 f1 00 00 00 00 00 00",
        "hid get-feature 07 01 00 00 00 00 00 00",
        "hid set-feature 07 ff ff 07 0d 02 01 03",
        "hid set-feature 07 ff ff 20 00 00 75 00",
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex("\\d+ " + expected[i]))) << lines[i];
    fs::remove_all(folder);
}

}  // namespace
}  // namespace keylume
