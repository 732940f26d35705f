#include "core/settings/SideLightStore.h"

#include <string>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"

namespace keylume {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::string Levels(const SideLightStore& store) {
    std::string levels;
    for (int i = 0; i < SideLightStore::kItemCount; ++i) {
        levels += std::to_string(store.Item(i)->Level());
    }
    return levels;
}

TEST(SideLightStore, AMissingOrBrokenFileIsReplacedByTheDefaults) {
    for (const char* content : {static_cast<const char*>(nullptr), "<effect sel='2'", "   "}) {
        TempFolder folder;
        auto path = folder.File("sidemodel.xml");
        if (content)
            WriteFile(path, content);
        SideLightStore store;
        store.SetSel(5);
        EXPECT_FALSE(store.Load(path));
        std::string expected = "<?xml version=\"1.0\"?>\n<effect sel=\"0\">\n";
        for (int level : {4, 4, 4, 7, 7, 7, 7, 7, 7, 7, 7, 7}) {
            expected += "\t<item brightness=\"" + std::to_string(level) + "\" />\n";
        }
        EXPECT_EQ(ReadFile(path), expected + "</effect>\n");
        EXPECT_EQ(store.Sel(), 0);
        EXPECT_EQ(Levels(store), "444777777777");
    }
}

struct LevelCase {
    const char* brightness;  // null: attribute missing
    int level;

    friend void PrintTo(const LevelCase& c, std::ostream* os) {
        *os << (c.brightness ? c.brightness : "(none)");
    }
};

class SideLightLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(SideLightLevels, TakeTheLowFourBitsAndDropLevelsAboveSeven) {
    SideLightStore store;
    SideLightItem before;
    before.value = 0x35;
    store.SetItem(0, before);
    std::string item = GetParam().brightness
                           ? std::string("<item brightness='") + GetParam().brightness + "'/>"
                           : std::string("<item/>");
    ASSERT_TRUE(store.LoadFromText("<effect>" + item + "</effect>"));
    EXPECT_EQ(store.Item(0)->Level(), GetParam().level);
    EXPECT_EQ(store.Item(0)->value & 0x0F, 0x05) << "the low nibble is not the store's";
}

INSTANTIATE_TEST_SUITE_P(Cases, SideLightLevels,
                         ::testing::Values(LevelCase{"9", 0}, LevelCase{"17", 1},
                                           LevelCase{"23", 7}, LevelCase{"7", 7}, LevelCase{"8", 0},
                                           LevelCase{"0", 0}, LevelCase{"-1", 0}, LevelCase{"x", 0},
                                           LevelCase{nullptr, 0}));

TEST(SideLightStore, SelOutsideTheModesReadsAsZero) {
    for (const char* sel : {"12", "-3", "junk"}) {
        SideLightStore store;
        ASSERT_TRUE(store.LoadFromText(std::string("<effect sel='") + sel + "'/>"));
        EXPECT_EQ(store.Sel(), 0) << sel;
    }
    SideLightStore store;
    ASSERT_TRUE(store.LoadFromText("<effect sel='11'/>"));
    EXPECT_EQ(store.Sel(), 11);
}

TEST(SideLightStore, AShortFileFillsTheFirstModesAndSaveWritesTwelve) {
    TempFolder folder;
    auto path = folder.File("sidemodel.xml");
    WriteFile(path,
              "<effect sel='4'><a brightness='1'/><b brightness='2'/><c brightness='3'/>"
              "<d brightness='5'/><e brightness='6'/></effect>");
    SideLightStore store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_EQ(store.Sel(), 4);
    EXPECT_EQ(Levels(store), "123567777777");
    ASSERT_TRUE(store.Save());
    SideLightStore reread;
    reread.SetItem(11, SideLightItem{});
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(Levels(reread), "123567777777");
    EXPECT_EQ(reread.Sel(), 4);
}

TEST(SideLightStore, ItemIndexMinusOneIsTheSelectedMode) {
    TempFolder folder;
    SideLightStore store;
    store.Load(folder.File("sidemodel.xml"));
    EXPECT_FALSE(store.Item(12));
    EXPECT_FALSE(store.Item(-2));
    store.SetSel(3);
    SideLightItem item = *store.Item(-1);
    item.SetLevel(6);
    ASSERT_TRUE(store.SetItem(-1, item));
    EXPECT_EQ(store.Item(3)->Level(), 6);
    store.Save();
    SideLightStore reread;
    ASSERT_TRUE(reread.Load(folder.File("sidemodel.xml")));
    EXPECT_EQ(reread.Item(-1)->Level(), 6);
    store.SetSel(-1);
    EXPECT_FALSE(store.Item(-1));
}

}  // namespace
}  // namespace keylume
