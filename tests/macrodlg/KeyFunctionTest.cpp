#include <gtest/gtest.h>

#include "core/macros/KeyNameTable.h"
#include "macrodlg/KeyFunction.h"

namespace keylume {
namespace {

struct Case {
    const char* what;
    int type;
    int index;  // group, media or function index, by type
    bool built;
    int play;
    std::vector<MacroItem> items;
};

class BuildKeyRecordTest : public ::testing::TestWithParam<Case> {};

TEST_P(BuildKeyRecordTest, GivesTheItemsOfEachKind) {
    const Case& c = GetParam();
    MacroStore store;
    store.groups = {{L"Macro", {{0x70004, 1, 30, L"A"}, {0x70004, 0, 0, L"A"}}}};
    store.playData = 4;
    store.repeat = 3;
    store.skcode = 0xC00E9;
    store.type = c.type;
    store.group = store.media = store.function = c.index;
    AppConfig config;
    config.funkeys = {{L"Mute", 0xC00E2, {}, {}}};
    config.combkeys = {{L"Copy", {{458976, 0}, {458758, 20}}}, {L"Nothing", {}}};

    const auto record = BuildKeyRecord(store, config, 0x7003A, L"F1");
    ASSERT_EQ(record.has_value(), c.built) << c.what;
    if (!c.built)
        return;
    EXPECT_EQ(record->code, 0x7003Au);
    EXPECT_EQ(record->type, c.type);
    EXPECT_EQ(record->name, L"F1");
    EXPECT_EQ(record->play, c.play) << c.what;
    EXPECT_EQ(record->items, c.items) << c.what;
    EXPECT_EQ(record->repeat, c.type == 0 ? 3 : 1) << c.what;
    const wchar_t* targets[] = {L"Macro", L"Volume Up", L"Mute", L"Copy"};
    EXPECT_EQ(record->group, targets[c.type]) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BuildKeyRecordTest,
    ::testing::Values(
        Case{"macro", 0, 0, true, 4, {{0x70004, 1, 30, L"A"}, {0x70004, 0, 0, L"A"}}},
        Case{"macro, negative group", 0, -1, false, 0, {}},
        Case{"macro, group one past the end", 0, 1, false, 0, {}},
        Case{"single key Volume Up", 1, 0, true, 1, {{0xC00E9, 0, 0, {}}}},
        Case{"media key", 2, 0, true, 1, {{0xC00E2, 0, 0, {}}}},
        Case{"media index outside", 2, 1, false, 0, {}},
        Case{"combination",
             3,
             0,
             true,
             2,
             {{458976, 1, 1, {}}, {458758, 1, 21, {}}, {458976, 0, 0, {}}, {458758, 0, 20, {}}}},
        Case{"combination without keys", 3, 1, false, 0, {}},
        Case{"combination index outside", 3, 2, false, 0, {}}));

TEST(KeyRecordLabel, NameAloneWithoutTarget) {
    KeyRecord record;
    record.name = L"F1";
    EXPECT_EQ(KeyRecordLabel(record), "F1");
    record.group = L"Copy";
    EXPECT_EQ(KeyRecordLabel(record), "F1 : Copy");
}

}  // namespace
}  // namespace keylume
