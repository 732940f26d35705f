// Checks that the VM offers what the Linux backends are tested against: a uhid-played keyboard
// shows up to hidapi with both collections, and feature reports cross the kernel both ways.

#include <gtest/gtest.h>
#include <hidapi/hidapi.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "UhidKeyboard.h"

using namespace std::chrono_literals;

namespace keylume::vmtest {
namespace {

class KernelHarness : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!InVm())
            GTEST_SKIP() << "runs only inside the test VM";
        ASSERT_EQ(hid_init(), 0);
    }
    void TearDown() override { hid_exit(); }
};

std::vector<hid_device_info> WaitForDevices(unsigned short vid, unsigned short pid,
                                            std::size_t count) {
    std::vector<hid_device_info> out;
    for (int i = 0; i < 200 && out.size() < count; ++i) {
        out.clear();
        hid_device_info* list = hid_enumerate(vid, pid);
        for (auto* d = list; d != nullptr; d = d->next)
            out.push_back(*d);
        hid_free_enumeration(list);  // the copies' strings are not used past this point
        if (out.size() < count)
            std::this_thread::sleep_for(10ms);
    }
    return out;
}

TEST_F(KernelHarness, UhidKeyboardAppearsWithBothCollectionsAndTakesFeatureReports) {
    UhidKeyboard keyboard;
    ASSERT_TRUE(keyboard.Created());
    const auto devices = WaitForDevices(0x1A2C, 0x2D3E, 2);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].usage_page, 0x01);
    EXPECT_EQ(devices[0].usage, 0x06);
    EXPECT_EQ(devices[1].usage_page, 0xFF00);
    EXPECT_EQ(devices[1].usage, 0x01);
    EXPECT_EQ(devices[0].interface_number, -1);

    hid_device* dev = hid_open(0x1A2C, 0x2D3E, nullptr);
    ASSERT_NE(dev, nullptr);
    const unsigned char report[8] = {0x07, 0xff, 0xff, 0x05, 0x03, 0x00, 0x00, 0x00};
    EXPECT_EQ(hid_send_feature_report(dev, report, sizeof report), 8);
    std::this_thread::sleep_for(20ms);
    const auto sets = keyboard.SetReports();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].first, 7);
    EXPECT_EQ(sets[0].second, std::vector<std::uint8_t>(report, report + 8));

    keyboard.SetGetReportReply({0x07, 0x01, 0x05, 0, 0, 0, 0, 0});
    unsigned char answer[8] = {0x07};
    EXPECT_EQ(hid_get_feature_report(dev, answer, sizeof answer), 8);
    EXPECT_EQ(answer[1], 0x01);
    EXPECT_EQ(answer[2], 0x05);
    hid_close(dev);
}

}  // namespace
}  // namespace keylume::vmtest
