#include <gtest/gtest.h>

#include <string>

#include "core/device/DeviceChange.h"
#include "core/device/HidPath.h"
#include "platform/DeviceBroadcasts.h"

namespace keylume {
namespace {

struct PathCase {
    const char* name;
    std::string path;
    HidPathFields expected;
};

constexpr HidPathFields kNoMatch{};

class ParseHidPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ParseHidPathTest, ReadsTheIdentifiers) {
    EXPECT_EQ(ParseHidPath(GetParam().path), GetParam().expected) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ParseHidPathTest,
    ::testing::Values(
        PathCase{
            "CommandCollection",
            R"(\\?\hid#vid_1a2c&pid_2d3e&mi_01&col02#7&1a2b3c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})",
            {true, 0x1A2C, 0x2D3E, 1, 2}},
        PathCase{"NoInterfacePart", "hid#vid_1a2c&pid_2d3e#6&abc", {true, 0x1A2C, 0x2D3E, -1, -1}},
        PathCase{"InterfaceLastDigitOnly",
                 "hid#vid_1a2c&pid_2d3e&mi_0a#x",
                 {true, 0x1A2C, 0x2D3E, 10, -1}},
        PathCase{"FirstInterfaceDigitIgnored",
                 "hid#vid_1a2c&pid_2d3e&mi_1f#x",
                 {true, 0x1A2C, 0x2D3E, 15, -1}},
        PathCase{"CollectionWithoutInterface",
                 "hid#vid_1a2c&pid_2d3e&col02#x",
                 {true, 0x1A2C, 0x2D3E, -1, 2}},
        PathCase{"RevisionSkipped",
                 "hid#vid_046d&pid_c52b&rev_1201&mi_00#x",
                 {true, 0x046D, 0xC52B, 0, -1}},
        PathCase{"UpperCaseDigitsInsideLowerCasePath",
                 "hid#vid_1A2C&pid_2D3E&mi_01",
                 {true, 0x1A2C, 0x2D3E, 1, -1}},
        PathCase{
            "NotAnchored", "garbage before hid#vid_0000&pid_0001&mi_00&col01", {true, 0, 1, 0, 1}},
        PathCase{"NoTerminatorNeeded",
                 "hid#vid_1a2c&pid_2d3e&mi_01&col02",
                 {true, 0x1A2C, 0x2D3E, 1, 2}},
        PathCase{"ShortInterfaceDropsThePart",
                 "hid#vid_1a2c&pid_2d3e&mi_1#x",
                 {true, 0x1A2C, 0x2D3E, -1, -1}},
        PathCase{
            "NonHexLettersStopTheNumber", "hid#vid_1g2c&pid_zz00&mi_0z&col0k", {true, 1, 0, 0, 0}},
        PathCase{"UpperCaseDoesNotMatch", "HID#VID_1A2C&PID_2D3E&MI_01&COL02#X", kNoMatch},
        PathCase{"ProductCutShort", "hid#vid_1a2c&pid_2d3", kNoMatch},
        PathCase{"NotHid", R"(\\?\usbstor#disk&ven_acme&prod_stick#{53f56307})", kNoMatch},
        PathCase{"Empty", "", kNoMatch}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ParseHidPath, LongPathsOfAnyShape) {
    const std::string filler(100000, '#');
    EXPECT_FALSE(ParseHidPath(filler).matched);
    EXPECT_EQ(ParseHidPath(filler + "hid#vid_1a2c&pid_2d3e&mi_01&col02" + filler),
              (HidPathFields{true, 0x1A2C, 0x2D3E, 1, 2}));
    std::string zeros(1 << 16, '\0');
    EXPECT_FALSE(ParseHidPath(zeros).matched);
}

// The configured keyboard of the shipped config.xml.
constexpr std::int32_t kVid = 0x1A2C, kPid = 0x2D3E;

struct ChangeCase {
    const char* name;
    std::uint32_t eventCode;
    std::uint32_t deviceType;
    std::string path;
    std::int32_t usbInterface;
    std::int32_t subdevice;
    DeviceChange expected;
};

class DecideDeviceChangeTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(DecideDeviceChangeTest, MatchesOnlyTheConfiguredInterface) {
    const auto& c = GetParam();
    EXPECT_EQ(DecideDeviceChange(c.eventCode, c.deviceType, c.path, kVid, kPid, c.usbInterface,
                                 c.subdevice),
              c.expected);
}

using platform::kDeviceArrival;
using platform::kDeviceRemoveComplete;
using platform::kDeviceTypeInterface;
using platform::kDeviceTypeVolume;
constexpr const char* kCol01 = "hid#vid_1a2c&pid_2d3e&mi_01&col01#sim1";
constexpr const char* kCol02 = "hid#vid_1a2c&pid_2d3e&mi_01&col02#sim2";

INSTANTIATE_TEST_SUITE_P(
    Broadcasts, DecideDeviceChangeTest,
    ::testing::Values(
        ChangeCase{"KeyboardArrives", kDeviceArrival, kDeviceTypeInterface, kCol02, 1, 2,
                   DeviceChange::KeyboardArrived},
        ChangeCase{"KeyboardLeaves", kDeviceRemoveComplete, kDeviceTypeInterface, kCol02, 1, 2,
                   DeviceChange::KeyboardRemoved},
        ChangeCase{"OtherCollectionLeaves", kDeviceRemoveComplete, kDeviceTypeInterface, kCol01, 1,
                   2, DeviceChange::OtherRemoved},
        ChangeCase{"UnrelatedHidArrives", kDeviceArrival, kDeviceTypeInterface,
                   "hid#vid_046d&pid_c52b&mi_00#x", 1, 2, DeviceChange::OtherArrived},
        ChangeCase{"StorageIgnored", kDeviceArrival, kDeviceTypeInterface,
                   R"(\\?\usbstor#disk&ven_acme#{53f56307})", 1, 2, DeviceChange::Ignored},
        ChangeCase{"VolumeIgnored", kDeviceArrival, kDeviceTypeVolume, kCol02, 1, 2,
                   DeviceChange::Ignored},
        ChangeCase{"OtherEventIgnored", 0x8001, kDeviceTypeInterface, kCol02, 1, 2,
                   DeviceChange::Ignored},
        ChangeCase{"UpperCaseIgnored", kDeviceArrival, kDeviceTypeInterface,
                   "HID#VID_1A2C&PID_2D3E&MI_01&COL02", 1, 2, DeviceChange::Ignored},
        // A configured -1 is a value like any other here, not "any".
        ChangeCase{"SubdeviceMinusOneRejectsCollection", kDeviceArrival, kDeviceTypeInterface,
                   kCol02, 1, -1, DeviceChange::OtherArrived},
        ChangeCase{"SubdeviceMinusOneTakesNoCollection", kDeviceArrival, kDeviceTypeInterface,
                   "hid#vid_1a2c&pid_2d3e&mi_01#x", 1, -1, DeviceChange::KeyboardArrived},
        ChangeCase{"InterfaceMinusOneRejectsInterface", kDeviceArrival, kDeviceTypeInterface,
                   kCol02, -1, 2, DeviceChange::OtherArrived},
        ChangeCase{"MissingPartsPass", kDeviceArrival, kDeviceTypeInterface,
                   "hid#vid_1a2c&pid_2d3e#x", 1, 2, DeviceChange::KeyboardArrived},
        ChangeCase{"ZeroIdsPass", kDeviceArrival, kDeviceTypeInterface,
                   "hid#vid_0000&pid_0000&mi_01&col02", 1, 2, DeviceChange::KeyboardArrived},
        ChangeCase{"OtherProduct", kDeviceArrival, kDeviceTypeInterface,
                   "hid#vid_1a2c&pid_1111&mi_01&col02", 1, 2, DeviceChange::OtherArrived}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(IsConfiguredKeyboardPath, UnmatchedPathIsNeverTheKeyboard) {
    EXPECT_FALSE(IsConfiguredKeyboardPath(HidPathFields{}, kVid, kPid, 1, 2));
}

}  // namespace
}  // namespace keylume
