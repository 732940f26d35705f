#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHid.h"
#include "core/device/HidEnumeration.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimKeyboard.h"

namespace keylume {
namespace {

using platform::SimKeyboard;

// A HID device of another maker, or one without an interface part in its path.
class OtherDevice final : public platform::SimHidInterface {
  public:
    explicit OtherDevice(std::string path) : path_(std::move(path)) {}
    std::string Path() const override { return path_; }
    platform::HidAttributes Attributes() const override { return {0x046D, 0xC52B, 0x1201}; }
    platform::HidCaps Caps() const override { return {0x02, 0x01, 7, 0, 0}; }
    bool OnSetFeature(std::span<const std::uint8_t>) override { return false; }
    bool OnGetFeature(std::span<std::uint8_t>) override { return false; }
    int OnWrite(std::span<const std::uint8_t>) override { return 0; }

  private:
    std::string path_;
};

constexpr const char* kMouse = "hid#vid_046d&pid_c52b&mi_00#other";
constexpr const char* kNoInterface = "hid#vid_1a2c&pid_1111#bare";

struct FilterCase {
    const char* name;
    std::int32_t vendorId;
    std::vector<std::int32_t> productIds;
    std::int32_t interfaceNumber;
    std::int32_t collectionNumber;
    std::vector<std::string> expected;
};

class EnumerateTest : public ::testing::TestWithParam<FilterCase> {
  protected:
    void SetUp() override {
        bus_.Attach(std::make_shared<OtherDevice>(kMouse));
        keyboard_ = std::make_unique<SimKeyboard>(bus_);
        bus_.Attach(std::make_shared<OtherDevice>(kNoInterface));
        bus_.Attach(std::make_shared<OtherDevice>(R"(\\?\usbstor#disk&ven_acme#1)"));
    }
    void TearDown() override { keyboard_.reset(); }

    platform::SimBroadcasts broadcasts_;
    platform::SimHidBus bus_{broadcasts_};
    std::unique_ptr<SimKeyboard> keyboard_;
};

TEST_P(EnumerateTest, FiltersInBusOrder) {
    const auto& c = GetParam();
    std::vector<std::string> paths;
    for (const auto& m : EnumerateHidInterfaces(bus_, c.vendorId, c.productIds, c.interfaceNumber,
                                                c.collectionNumber))
        paths.push_back(m.path);
    EXPECT_EQ(paths, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, EnumerateTest,
    ::testing::Values(
        FilterCase{"TheTwoMi01Collections",
                   0x1A2C,
                   {0x2D3E},
                   1,
                   -1,
                   {SimKeyboard::kMediaPath, SimKeyboard::kCommandPath}},
        FilterCase{"TheCommandCollection", 0x1A2C, {0x2D3E}, 1, 2, {SimKeyboard::kCommandPath}},
        FilterCase{"AnyInterface",
                   0x1A2C,
                   {0x2D3E},
                   -1,
                   -1,
                   {SimKeyboard::kKeysPath, SimKeyboard::kMediaPath, SimKeyboard::kCommandPath}},
        FilterCase{"VendorOnly",
                   0x1A2C,
                   {},
                   -1,
                   -1,
                   {SimKeyboard::kKeysPath, SimKeyboard::kMediaPath, SimKeyboard::kCommandPath,
                    kNoInterface}},
        FilterCase{
            "InterfaceZeroNeedsAnInterfacePart", 0x1A2C, {}, 0, -1, {SimKeyboard::kKeysPath}},
        FilterCase{"InterfaceMinusTwoTakesNothing", 0x1A2C, {0x2D3E}, -2, -1, {}},
        FilterCase{"CollectionMinusTwoTakesNothing", 0x1A2C, {0x2D3E}, -1, -7, {}},
        FilterCase{"EitherProduct",
                   0x1A2C,
                   {0x1111, 0x2D3E},
                   -1,
                   -1,
                   {SimKeyboard::kKeysPath, SimKeyboard::kMediaPath, SimKeyboard::kCommandPath,
                    kNoInterface}},
        FilterCase{"ProductWithAnyVendor", 0, {0xC52B}, -1, -1, {kMouse}},
        FilterCase{"WrongVendor", 0x046D, {0x2D3E}, -1, -1, {}},
        FilterCase{"NothingAsked", 0, {}, -1, -1, {}},
        FilterCase{"NegativeVendorNothingAsked", -5, {}, 1, 2, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(EnumerateTest, ReadsVersionAndUsageWhereTheInterfaceOpens) {
    const std::int32_t product[] = {0x2D3E};
    const auto matches = EnumerateHidInterfaces(bus_, 0x1A2C, product, -1, -1);
    ASSERT_EQ(matches.size(), 3u);
    // The system keeps the keys collection: it is listed, with nothing read.
    EXPECT_EQ(matches[0], (HidMatch{SimKeyboard::kKeysPath, 0x1A2C, 0x2D3E, 0, -1, 0, 0, 0}));
    EXPECT_EQ(matches[2],
              (HidMatch{SimKeyboard::kCommandPath, 0x1A2C, 0x2D3E, 1, 2, 0x0100, 0xFF1C, 0x01}));
}

TEST(Enumerate, NothingAskedDoesNotTouchTheBus) {
    testing::FakeHidBus bus;
    bus.Add("hid#vid_1a2c&pid_2d3e&mi_01&col02#a");
    EXPECT_TRUE(EnumerateHidInterfaces(bus, 0, {}, -1, -1).empty());
    EXPECT_EQ(bus.listCalls, 0);
}

TEST(Enumerate, InterfaceGoneBeforeItsOpenStaysListed) {
    testing::FakeHidBus bus;
    bus.Add("hid#vid_1a2c&pid_2d3e&mi_01&col02#a").opens = false;
    const auto matches = EnumerateHidInterfaces(bus, 0x1A2C, {}, 1, 2);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].versionNumber, 0);
    EXPECT_EQ(matches[0].usagePage, 0);
}

}  // namespace
}  // namespace keylume
