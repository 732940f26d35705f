#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/macros/MacroRecorder.h"

namespace keylume {
namespace {

struct Captured {
    std::uint32_t usage;
    bool pressed;
    std::int64_t at;
};

struct Expected {
    std::uint32_t code;
    std::uint32_t state;
    std::uint32_t delay;
};

struct RecordCase {
    const char* what;
    int mode;
    std::uint32_t fixedDelay;
    std::vector<Captured> events;
    std::vector<Expected> items;
};

class MacroRecording : public ::testing::TestWithParam<RecordCase> {};

TEST_P(MacroRecording, GivesEachEventTheDelayToTheNext) {
    const auto& c = GetParam();
    MacroRecorder recorder;
    std::vector<MacroItem> items;
    for (const auto& e : c.events) {
        recorder.Record(items, e.usage, e.pressed, c.mode, c.fixedDelay, e.at);
    }
    ASSERT_EQ(items.size(), c.items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].code, c.items[i].code) << i;
        EXPECT_EQ(items[i].state, c.items[i].state) << i;
        EXPECT_EQ(items[i].delay, c.items[i].delay) << i;
    }
}

const std::vector<Captured> kTypeAB = {
    {0x70004, true, 1000}, {0x70004, false, 1080}, {0x70005, true, 1100}, {0x70005, false, 1250}};

INSTANTIATE_TEST_SUITE_P(
    Modes, MacroRecording,
    ::testing::Values(
        RecordCase{"fixed 30",
                   1,
                   30,
                   kTypeAB,
                   {{0x70004, 1, 30}, {0x70004, 0, 30}, {0x70005, 1, 30}, {0x70005, 0, 0}}},
        RecordCase{"no delay",
                   2,
                   30,
                   kTypeAB,
                   {{0x70004, 1, 0}, {0x70004, 0, 0}, {0x70005, 1, 0}, {0x70005, 0, 0}}},
        RecordCase{"an unknown mode is no delay",
                   7,
                   30,
                   kTypeAB,
                   {{0x70004, 1, 0}, {0x70004, 0, 0}, {0x70005, 1, 0}, {0x70005, 0, 0}}},
        RecordCase{"real",
                   0,
                   30,
                   kTypeAB,
                   {{0x70004, 1, 80}, {0x70004, 0, 20}, {0x70005, 1, 150}, {0x70005, 0, 0}}},
        RecordCase{"a release into an empty group is dropped, later releases are kept",
                   1,
                   5,
                   {{0x70006, false, 0}, {0x70004, true, 10}, {0x70006, false, 20}},
                   {{0x70004, 1, 5}, {0x70006, 0, 0}}},
        RecordCase{"usage 0 is ignored",
                   0,
                   0,
                   {{0x70004, true, 0}, {0x0, true, 40}, {0x70005, true, 100}},
                   {{0x70004, 1, 100}, {0x70005, 1, 0}}}),
    [](const ::testing::TestParamInfo<RecordCase>& param) {
        std::string name;
        for (const char ch : std::string(param.param.what)) {
            name.push_back(std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
        }
        return name;
    });

TEST(MacroRecorder, RealDelayIntoAnExistingGroupStartsMeasuringAtTheFirstEvent) {
    MacroRecorder recorder;
    std::vector<MacroItem> items = {{0x70004, 1, 25, L"A"}};
    recorder.Record(items, 0x70005, true, 0, 0, 987'654);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].delay, 25u);  // not the whole uptime
    EXPECT_EQ(items[1].name, L"B");
    recorder.Record(items, 0x70005, false, 0, 0, 987'700);
    EXPECT_EQ(items[1].delay, 46u);
    recorder.Reset();
    EXPECT_EQ(recorder.LastEventTime(), -1);
}

}  // namespace
}  // namespace keylume
