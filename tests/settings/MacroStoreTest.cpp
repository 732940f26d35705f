#include "core/settings/MacroStore.h"

#include <string>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"

namespace keylume {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::vector<std::wstring> Names(const MacroStore& store) {
    std::vector<std::wstring> names;
    for (const MacroGroup& g : store.groups)
        names.push_back(g.name);
    return names;
}

TEST(MacroStore, AFreshStoreSavesTheDefaultsAndAnEmptyLibrary) {
    TempFolder folder;
    auto path = folder.File("macro.xml");
    MacroStore store;
    EXPECT_FALSE(store.Load(path));
    EXPECT_FALSE(std::filesystem::exists(path)) << "a failed load creates no file";
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadFile(path),
              "<?xml version=\"1.0\"?>\n"
              "<config type=\"0\" repeat=\"1\" mode=\"0\" delay=\"10\" media=\"0\" function=\"0\" "
              "group=\"0\" skcode=\"0\" play=\"0\" />\n"
              "<macro />\n");
}

TEST(MacroStore, ConfigAttributesAreUnsignedDecimalStoredInInts) {
    MacroStore store;
    ASSERT_TRUE(store.LoadFromText(
        "<config type='3' mode='2' delay='250' media='4' function='0x5' skcode='458756' "
        "group='-1' play='6'/>"));
    EXPECT_EQ(store.type, 3);
    EXPECT_EQ(store.repeat, 0) << "a missing repeat reads 0, not the default 1";
    EXPECT_EQ(store.mode, 2);
    EXPECT_EQ(store.delay, 250);
    EXPECT_EQ(store.media, 4);
    EXPECT_EQ(store.function, 0) << "a hexadecimal value reads 0";
    EXPECT_EQ(store.skcode, 458756);
    EXPECT_EQ(store.group, -1);
    EXPECT_EQ(store.play, 6);

    std::string saved = store.ToXml();
    EXPECT_NE(saved.find("mode=\"2\" delay=\"250\""), std::string::npos);
    EXPECT_NE(saved.find("group=\"-1\""), std::string::npos);
    MacroStore reread;
    ASSERT_TRUE(reread.LoadFromText(saved));
    EXPECT_EQ(reread.group, -1);
    EXPECT_EQ(reread.delay, 250);
}

TEST(MacroStore, WithoutConfigTheFieldsKeepTheirValues) {
    MacroStore store;
    store.repeat = 5;
    store.playData = 4;
    ASSERT_TRUE(store.LoadFromText("<macro><group name='g'/></macro>"));
    EXPECT_EQ(store.repeat, 5);
    EXPECT_EQ(store.delay, 10);
    EXPECT_EQ(store.playData, 4);
    EXPECT_EQ(Names(store), std::vector<std::wstring>{L"g"});
}

TEST(MacroStore, GroupsAndItemsAreChildrenByPositionWithDecimalCodes) {
    MacroStore store;
    store.groups.push_back({L"old", {}});
    ASSERT_TRUE(store.LoadFromText(R"(<config/><macro>
        <group name="A keys"><item code="458756" state="1" delay="30" name="A"/>
            <press code="0x70004" state="0" delay="-1"/></group>
        <anything/>
        <g name="third"><x code="786637" state="1" delay="5" name="Play"/></g>
    </macro>)"));
    ASSERT_EQ(store.groups.size(), 3u);
    EXPECT_EQ(store.groups[0].name, L"A keys");
    EXPECT_EQ(store.groups[0].items,
              (std::vector<MacroItem>{{0x70004, 1, 30, L"A"}, {0, 0, 0xFFFFFFFF, L""}}));
    EXPECT_EQ(store.groups[1], (MacroGroup{L"", {}}));
    EXPECT_EQ(store.groups[2].items, (std::vector<MacroItem>{{0xC00CD, 1, 5, L"Play"}}));
}

TEST(MacroStore, ABrokenFileKeepsEverything) {
    TempFolder folder;
    auto path = folder.File("macro.xml");
    WriteFile(path, "<config repeat='4'/><macro><group name='x'>");
    MacroStore store;
    store.groups.push_back({L"kept", {{4, 1, 2, L"k"}}});
    EXPECT_FALSE(store.Load(path));
    EXPECT_EQ(store.repeat, 1);
    EXPECT_EQ(Names(store), std::vector<std::wstring>{L"kept"});
    EXPECT_EQ(store.Path(), path);
    // Set aside whole, so that the first save of the store cannot lose it.
    std::vector<std::string> others = folder.OtherEntries("");
    ASSERT_EQ(others.size(), 1u);
    EXPECT_TRUE(others[0].starts_with("macro.xml.unreadable-")) << others[0];
    EXPECT_EQ(ReadFile(folder.File(others[0])), "<config repeat='4'/><macro><group name='x'>");
}

TEST(MacroStore, SaveAndLoadGiveTheSameLibrary) {
    TempFolder folder;
    auto path = folder.File("macro.xml");
    MacroStore store;
    store.Load(path);
    store.type = 2;
    store.repeat = 7;
    store.mode = 1;
    store.delay = 33;
    store.media = 3;
    store.function = 4;
    store.skcode = 0x700E0;
    store.group = 1;
    store.play = 2;
    store.groups = {
        {L"Group 0", {{0x70004, 1, 10, L"A"}, {0x70004, 0, 0, L"A"}}},
        {L"", {}},
        {L"\u5B8F <&> \"quoted\" 'single'\ttab",
         {{0xFFFFFFFF, 0xFFFFFFFF, 4000000000u, L"\u952E"}}},
    };
    ASSERT_TRUE(store.Save());
    MacroStore reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(reread.groups, store.groups);
    EXPECT_EQ(reread.ToXml(), store.ToXml());
    EXPECT_EQ(reread.skcode, 0x700E0);
    EXPECT_EQ(reread.group, 1);
    EXPECT_EQ(reread.play, 2);
    // An empty group is an empty element.
    EXPECT_NE(ReadFile(path).find("\t<group name=\"\" />\n"), std::string::npos);
}

struct AddCase {
    std::vector<std::wstring> before;
    std::wstring added;

    friend void PrintTo(const AddCase& c, std::ostream* os) { *os << c.before.size() << " groups"; }
};

class MacroStoreAddGroup : public ::testing::TestWithParam<AddCase> {};

TEST_P(MacroStoreAddGroup, TakesTheFirstFreeNameFromTheGroupCountUp) {
    MacroStore store;
    for (const auto& name : GetParam().before)
        store.groups.push_back({name, {}});
    store.AddGroup();
    ASSERT_EQ(store.groups.size(), GetParam().before.size() + 1);
    EXPECT_EQ(store.groups.back().name, GetParam().added);
    EXPECT_TRUE(store.groups.back().items.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MacroStoreAddGroup,
    ::testing::Values(AddCase{{}, L"Group 0"}, AddCase{{L"Group 0"}, L"Group 1"},
                      // Gaps below the count are not filled.
                      AddCase{{L"Group 1"}, L"Group 2"}, AddCase{{L"x", L"y"}, L"Group 2"},
                      AddCase{{L"a", L"Group 2", L"Group 3"}, L"Group 4"},
                      // Names are compared exactly.
                      AddCase{{L"group 1"}, L"Group 1"}, AddCase{{L"Group 1 "}, L"Group 1"}));

TEST(MacroStore, AddAndDeleteGroupsSaveTheLibrary) {
    TempFolder folder;
    auto path = folder.File("macro.xml");
    MacroStore store;
    store.Load(path);
    store.AddGroup();
    store.AddGroup();
    store.AddGroup();
    EXPECT_EQ(Names(store), (std::vector<std::wstring>{L"Group 0", L"Group 1", L"Group 2"}));
    store.DeleteGroup(0);
    store.DeleteGroup(0);
    store.AddGroup();  // n = 1 is free now
    EXPECT_EQ(Names(store), (std::vector<std::wstring>{L"Group 2", L"Group 1"}));

    MacroStore reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(Names(reread), Names(store));

    // Outside the library nothing happens and nothing is written.
    std::filesystem::remove(path);
    store.DeleteGroup(2);
    store.DeleteGroup(-1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(store.groups.size(), 2u);
}

TEST(MacroStore, RenameGroupSavesOnlyARealChange) {
    TempFolder folder;
    auto path = folder.File("macro.xml");
    MacroStore store;
    store.Load(path);
    store.groups = {{L"a", {}}, {L"b", {}}};
    EXPECT_FALSE(store.RenameGroup(0, L"a"));
    EXPECT_FALSE(store.RenameGroup(2, L"z"));
    EXPECT_FALSE(store.RenameGroup(-1, L"z"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(store.RenameGroup(1, L"c"));
    EXPECT_TRUE(store.RenameGroup(1, L"a")) << "duplicates are accepted";
    EXPECT_TRUE(store.RenameGroup(0, L""));
    MacroStore reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(Names(reread), (std::vector<std::wstring>{L"", L"a"}));
}

TEST(MacroStore, GroupOfANegativeIndexIsTheSelectedGroup) {
    MacroStore store;
    store.groups = {{L"a", {}}, {L"b", {}}};
    store.group = 1;
    ASSERT_NE(store.Group(-1), nullptr);
    EXPECT_EQ(store.Group(-5)->name, L"b");
    EXPECT_EQ(store.Group(0)->name, L"a");
    EXPECT_EQ(store.Group(2), nullptr);
    store.group = -1;
    EXPECT_EQ(store.Group(-1), nullptr);
    store.group = 2;
    EXPECT_EQ(std::as_const(store).Group(-1), nullptr);
}

TEST(MacroStore, ResetChoicesKeepsTheLibrary) {
    MacroStore store;
    store.type = 3;
    store.repeat = 9;
    store.mode = 2;
    store.delay = 1;
    store.media = 2;
    store.function = 2;
    store.skcode = 5;
    store.group = 4;
    store.play = 3;
    store.groups = {{L"kept", {}}};
    store.ResetChoices();
    MacroStore fresh;
    fresh.play = 3;
    fresh.groups = store.groups;
    EXPECT_EQ(store.ToXml(), fresh.ToXml());
}

}  // namespace
}  // namespace keylume
