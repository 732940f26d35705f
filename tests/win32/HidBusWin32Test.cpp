// The HID backend against the HID devices the system has. Windows test machines may have none
// of a known kind; wine always has its own keyboard and mouse (vendor 0x845E).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "Win32TestSupport.h"
#include "platform/win32/HidBusWin32.h"

namespace keylume {
namespace {

using namespace std::chrono_literals;
using platform::win32::CmHidBusWin32;
using platform::win32::HidBusWin32;

constexpr std::uint32_t kReadWrite = platform::kAccessRead | platform::kAccessWrite;
constexpr std::uint32_t kShareBoth = platform::kShareRead | platform::kShareWrite;

// The first interface whose path names this vendor and product, or an empty string.
std::string FindInterface(HidBusWin32& bus, std::string_view vidPid) {
    for (const std::string& path : bus.ListInterfaces()) {
        if (path.find(vidPid) != std::string::npos)
            return path;
    }
    return {};
}

class HidBusWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        keyboard_ = FindInterface(bus_, "hid#vid_845e&pid_0002");
        if (keyboard_.empty())
            GTEST_SKIP() << "no wine HID keyboard here (not under wine)";
    }
    HidBusWin32 bus_;
    std::string keyboard_;
};

TEST_F(HidBusWin32Test, ListsInterfacesByTheirSystemPathsInCanonicalForm) {
    const auto paths = bus_.ListInterfaces();
    ASSERT_GE(paths.size(), 2u) << "wine's HID keyboard and mouse";
    for (const std::string& path : paths) {
        EXPECT_EQ(path.rfind("\\\\?\\hid#vid_", 0), 0u) << path;
        EXPECT_EQ(path, [&] {
            std::string lower = path;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return lower;
        }()) << "lower case, as the path reader expects";
    }
    EXPECT_FALSE(FindInterface(bus_, "hid#vid_845e&pid_0001").empty()) << "wine's HID mouse";
}

TEST_F(HidBusWin32Test, OpensAndReadsAttributesAndCaps) {
    auto port = bus_.Open(keyboard_, kReadWrite, kShareBoth);
    ASSERT_NE(port, nullptr);
    platform::HidAttributes attributes;
    ASSERT_TRUE(port->GetAttributes(attributes));
    EXPECT_EQ(attributes.vendorId, 0x845E);
    EXPECT_EQ(attributes.productId, 0x0002);
    platform::HidCaps caps;
    ASSERT_TRUE(port->GetCaps(caps));
    EXPECT_EQ(caps.usagePage, 1);
    EXPECT_EQ(caps.usage, 6);
    EXPECT_GT(caps.inputReportByteLength, 0);
}

TEST_F(HidBusWin32Test, AReadTimesOutOrIsAbortedAndTheNextReadStartsCleanly) {
    auto port = bus_.Open(keyboard_, kReadWrite, kShareBoth);
    ASSERT_NE(port, nullptr);
    std::uint8_t buffer[64] = {};

    // Nobody types on wine's keyboard: the read pends until its time-out cancels it.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->Read(buffer, 150, nullptr), 0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 140ms);
    EXPECT_LT(waited, 3s);

    // An abort event set from another thread ends a read without time limit, and is consumed.
    platform::Event abort(platform::Event::Reset::Auto);
    std::thread setter([&] {
        std::this_thread::sleep_for(100ms);
        abort.Set();
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->Read(buffer, -1, &abort), 0);
    setter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(abort.IsSet()) << "the abort was consumed";

    // An abort set before the read started ends it at once.
    abort.Set();
    EXPECT_EQ(port->Read(buffer, -1, &abort), 0);
    EXPECT_EQ(port->Read(buffer, 20, nullptr), 0) << "a later read still works and times out";
}

TEST_F(HidBusWin32Test, WritesAndFeaturesFailWithoutHanging) {
    auto port = bus_.Open(keyboard_, kReadWrite, kShareBoth);
    ASSERT_NE(port, nullptr);
    // Wine's keyboard has no output or feature reports; the calls fail and say so.
    const std::uint8_t report[8] = {7, 0xff, 0xff, 5, 3, 0, 0, 0};
    std::uint8_t feature[8] = {7};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->Write(report, 500), 0);
    EXPECT_FALSE(port->SetFeature(report));
    EXPECT_FALSE(port->GetFeature(feature));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(HidBusWin32, AMissingPathOpensNothing) {
    HidBusWin32 bus;
    EXPECT_EQ(
        bus.Open("\\\\?\\hid#vid_1a2c&pid_2d3e#nothing#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                 kReadWrite, kShareBoth),
        nullptr);
    EXPECT_EQ(bus.Open("", kReadWrite, kShareBoth), nullptr);
}

TEST(CmHidBusWin32, ListsTheSameInterfacesAsTheSetupInterfaces) {
    if (test::UnderWine())
        GTEST_SKIP() << "wine 8 implements CM_Get_Device_Interface_ListW not at all (calling it "
                        "ends the process) and its size query is a stub";
    HidBusWin32 setup;
    CmHidBusWin32 cm;
    auto a = setup.ListInterfaces();
    auto b = cm.ListInterfaces();
    auto lower = [](std::vector<std::string> v) {
        for (auto& s : v)
            std::transform(s.begin(), s.end(), s.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::sort(v.begin(), v.end());
        return v;
    };
    EXPECT_EQ(lower(a), lower(b));
}

}  // namespace
}  // namespace keylume
