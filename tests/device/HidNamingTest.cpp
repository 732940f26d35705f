#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device/HidEnumeration.h"
#include "core/device/HidPath.h"
#include "platform/linux/HidNaming.h"
#include "platform/linux/HidapiHidBus.h"
#include "platform/linux/UdevBroadcasts.h"

namespace keylume::platform {
namespace {

std::vector<std::string> Names(const std::vector<HidapiDeviceInfo>& devices) {
    std::vector<std::string> names;
    for (const auto& n : NameHidInterfaces(devices))
        names.push_back(n.name);
    return names;
}

// The keyboard as hidapi lists it: interface 0 with one collection, interface 1 with two.
const std::vector<HidapiDeviceInfo> kKeyboard = {
    {"/dev/hidraw0", 0x1A2C, 0x2D3E, 0x0100, 0, 0x01, 0x06},
    {"/dev/hidraw1", 0x1A2C, 0x2D3E, 0x0100, 1, 0x0C, 0x01},
    {"/dev/hidraw1", 0x1A2C, 0x2D3E, 0x0100, 1, 0xFF1C, 0x01},
};

struct NamingCase {
    const char* name;
    std::vector<HidapiDeviceInfo> devices;
    std::vector<std::string> expected;
};

class NameHidInterfacesTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(NameHidInterfacesTest, CanonicalNames) {
    EXPECT_EQ(Names(GetParam().devices), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, NameHidInterfacesTest,
    ::testing::Values(NamingCase{"Keyboard",
                                 kKeyboard,
                                 {"hid#vid_1a2c&pid_2d3e&mi_00#hidraw0",
                                  "hid#vid_1a2c&pid_2d3e&mi_01&col01#hidraw1",
                                  "hid#vid_1a2c&pid_2d3e&mi_01&col02#hidraw1"}},
                      // uhid and Bluetooth devices have no USB interface above them.
                      NamingCase{"NoUsbInterface",
                                 {{"/dev/hidraw4", 0x1A2C, 0x2D3E, 0, -1, 0xFF1C, 1}},
                                 {"hid#vid_1a2c&pid_2d3e#hidraw4"}},
                      NamingCase{"CollectionsNumberedPerNodeInListOrder",
                                 {{"/dev/hidraw2", 0x046D, 0xC52B, 0x1201, 2, 0x01, 0x02},
                                  {"/dev/hidraw5", 0x1A2C, 0x2D3E, 0, 10, 0x01, 0x06},
                                  {"/dev/hidraw2", 0x046D, 0xC52B, 0x1201, 2, 0x0C, 0x01},
                                  {"/dev/hidraw2", 0x046D, 0xC52B, 0x1201, 2, 0xFF00, 0x01}},
                                 {"hid#vid_046d&pid_c52b&mi_02&col01#hidraw2",
                                  "hid#vid_1a2c&pid_2d3e&mi_0a#hidraw5",
                                  "hid#vid_046d&pid_c52b&mi_02&col02#hidraw2",
                                  "hid#vid_046d&pid_c52b&mi_02&col03#hidraw2"}},
                      NamingCase{"OddNodePaths",
                                 {{"hidraw9", 0xDEED, 0xFEED, 0, -1, 0xFF00, 1},
                                  {"/odd/", 0xDEED, 0xFEED, 0, 300, 0xFF00, 1}},
                                 {"hid#vid_deed&pid_feed#hidraw9", "hid#vid_deed&pid_feed#/odd/"}},
                      NamingCase{"Empty", {}, {}}),
    [](const auto& p) { return std::string(p.param.name); });

// The names read back by the program's path reader give the numbers hidapi had.
TEST(NameHidInterfaces, PathReaderReadsTheNamesBack) {
    const auto named = NameHidInterfaces(kKeyboard);
    ASSERT_EQ(named.size(), 3u);
    EXPECT_EQ(ParseHidPath(named[2].name), (HidPathFields{true, 0x1A2C, 0x2D3E, 1, 2}));
    EXPECT_EQ(ParseHidPath(named[0].name), (HidPathFields{true, 0x1A2C, 0x2D3E, 0, -1}));
    EXPECT_EQ(named[2].info.path, "/dev/hidraw1");
    EXPECT_EQ(named[2].info.usagePage, 0xFF1C);
}

std::vector<std::string> Paths(const std::vector<DeviceBroadcast>& broadcasts, std::uint32_t code) {
    std::vector<std::string> out;
    for (const auto& b : broadcasts) {
        EXPECT_EQ(b.eventCode, code);
        EXPECT_EQ(b.deviceType, kDeviceTypeInterface);
        out.push_back(b.path);
    }
    return out;
}

TEST(UdevBroadcasts, OneBroadcastPerInterfaceOfTheNode) {
    std::vector<HidapiDeviceInfo> present = {kKeyboard[0]};
    UdevBroadcasts broadcasts("udev", [&] { return NameHidInterfaces(present); });

    present = kKeyboard;
    EXPECT_EQ(Paths(broadcasts.BroadcastsFor("add", "/dev/hidraw1"), kDeviceArrival),
              (std::vector<std::string>{"hid#vid_1a2c&pid_2d3e&mi_01&col01#hidraw1",
                                        "hid#vid_1a2c&pid_2d3e&mi_01&col02#hidraw1"}));
    // Gone from the list by the time the removal is seen: the remembered names are used.
    present = {};
    EXPECT_EQ(Paths(broadcasts.BroadcastsFor("remove", "/dev/hidraw1"), kDeviceRemoveComplete),
              (std::vector<std::string>{"hid#vid_1a2c&pid_2d3e&mi_01&col01#hidraw1",
                                        "hid#vid_1a2c&pid_2d3e&mi_01&col02#hidraw1"}));
    EXPECT_EQ(Paths(broadcasts.BroadcastsFor("remove", "/dev/hidraw0"), kDeviceRemoveComplete),
              (std::vector<std::string>{"hid#vid_1a2c&pid_2d3e&mi_00#hidraw0"}));
    EXPECT_TRUE(broadcasts.BroadcastsFor("remove", "/dev/hidraw0").empty());
    EXPECT_TRUE(broadcasts.BroadcastsFor("change", "/dev/hidraw1").empty());
    // An added node that vanished before it could be listed says nothing.
    EXPECT_TRUE(broadcasts.BroadcastsFor("add", "/dev/hidraw7").empty());
}

// The real bus on a machine without the keyboard: nothing to open, and no crash on the way.
TEST(HidapiHidBus, NameThatIsNotPresentDoesNotOpen) {
    HidapiHidBus bus;
    for (const auto& name : bus.ListInterfaces())
        EXPECT_TRUE(ParseHidPath(name).matched) << name;
    EXPECT_EQ(bus.Open("hid#vid_1a2c&pid_2d3e&mi_01&col02#hidraw99", kAccessRead, 0), nullptr);
    EXPECT_EQ(bus.Open("", 0, 0), nullptr);
}

}  // namespace
}  // namespace keylume::platform
