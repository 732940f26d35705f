#include "core/settings/LedEffectStore.h"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"

namespace keylume {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::string DefaultFile() {
    std::string text = "<?xml version=\"1.0\"?>\n<effect sel=\"20\">\n";
    for (int i = 0; i < 21; ++i) {
        text += "\t<item speed=\"0\" brightness=\"13\" deriction=\"0\" selection=\"0\" />\n";
    }
    return text + "</effect>\n";
}

TEST(LedEffectStore, AMissingOrBrokenFileIsReplacedByTheDefaults) {
    for (const char* content :
         {static_cast<const char*>(nullptr), "<effect sel='3'><item", "", "\xFF\xFE<\0e\0"}) {
        TempFolder folder;
        auto path = folder.File("ledeffect.xml");
        if (content)
            WriteFile(path, content);
        LedEffectStore store;
        store.SetItem(4, {1, 1, 1, 1});
        EXPECT_FALSE(store.Load(path));
        EXPECT_EQ(ReadFile(path), DefaultFile());
        EXPECT_EQ(store.Sel(), 20);
        EXPECT_EQ(store.Item(4), LedEffectItem{});
        EXPECT_EQ(store.Path(), path);
    }
}

struct ItemCase {
    const char* attributes;
    LedEffectItem expected;  // brightness, speed, deriction, selection

    friend void PrintTo(const ItemCase& c, std::ostream* os) { *os << c.attributes; }
};

class LedEffectItemClamps : public ::testing::TestWithParam<ItemCase> {};

TEST_P(LedEffectItemClamps, KeepTheLowByteThenClamp) {
    LedEffectStore store;
    std::string xml = std::string("<effect sel='0'><item ") + GetParam().attributes + "/></effect>";
    ASSERT_TRUE(store.LoadFromText(xml));
    EXPECT_EQ(store.Item(0), GetParam().expected) << GetParam().attributes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LedEffectItemClamps,
    ::testing::Values(
        ItemCase{"speed='7' brightness='200' deriction='4'", {13, 1, 0, 1}},
        ItemCase{"speed='2' brightness='13' deriction='1' selection='3'", {13, 2, 1, 3}},
        ItemCase{"speed='3' brightness='14' deriction='2' selection='0'", {13, 1, 0, 0}},
        ItemCase{"speed='258' brightness='269' deriction='257' selection='300'", {13, 2, 1, 44}},
        ItemCase{"", {0, 0, 0, 1}},
        ItemCase{"speed='x' brightness='5abc' deriction='' selection='2'", {5, 0, 0, 2}}));

TEST(LedEffectStore, SelOutsideTheEffectsReadsAsZero) {
    for (const char* sel : {"25", "-1", "21", "abc", "99999999999999"}) {
        LedEffectStore store;
        ASSERT_TRUE(store.LoadFromText(std::string("<effect sel='") + sel + "'/>"));
        EXPECT_EQ(store.Sel(), 0) << sel;
    }
    LedEffectStore store;
    ASSERT_TRUE(store.LoadFromText("<effect sel='20'/>"));
    EXPECT_EQ(store.Sel(), 20);
    ASSERT_TRUE(store.LoadFromText("<effect/>"));
    EXPECT_EQ(store.Sel(), 0);
}

TEST(LedEffectStore, ChildrenCountByPositionAndOnlyTheFirst21) {
    TempFolder folder;
    auto path = folder.File("ledeffect.xml");
    std::string xml = "<effect sel='2'>";
    for (int i = 0; i < 30; ++i) {
        xml += "<e" + std::to_string(i) + " brightness='" + std::to_string(i % 14) + "'/>";
    }
    WriteFile(path, xml + "</effect>");
    LedEffectStore store;
    ASSERT_TRUE(store.Load(path));
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(store.Item(i)->brightness, i % 14);
    ASSERT_TRUE(store.Save());
    LedEffectStore reread;
    ASSERT_TRUE(reread.Load(path));
    std::string saved = ReadFile(path);
    std::size_t count = 0;
    for (std::size_t at = saved.find("<item"); at != std::string::npos;
         at = saved.find("<item", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 21u);
}

TEST(LedEffectStore, ItemsTheFileDoesNotCoverKeepTheirValues) {
    LedEffectStore store;
    store.SetItem(0, {1, 1, 1, 1});
    store.SetItem(5, {2, 2, 0, 3});
    ASSERT_TRUE(store.LoadFromText("<effect sel='1'><item brightness='9'/><item/></effect>"));
    EXPECT_EQ(store.Item(0), (LedEffectItem{9, 0, 0, 1}));
    EXPECT_EQ(store.Item(1), (LedEffectItem{0, 0, 0, 1}));
    EXPECT_EQ(store.Item(5), (LedEffectItem{2, 2, 0, 3}));
}

TEST(LedEffectStore, AFileWithoutEffectKeepsItemsAndIsNotRewritten) {
    TempFolder folder;
    auto path = folder.File("ledeffect.xml");
    const std::string content = "<other sel='5'><item brightness='1'/></other>";
    WriteFile(path, content);
    LedEffectStore store;
    store.SetSel(7);
    store.SetItem(0, {3, 1, 0, 2});
    EXPECT_TRUE(store.Load(path));
    EXPECT_EQ(store.Sel(), 0);
    EXPECT_EQ(store.Item(0), (LedEffectItem{3, 1, 0, 2}));
    EXPECT_EQ(ReadFile(path), content);
}

TEST(LedEffectStore, ItemIndexMinusOneIsTheSelectedEffect) {
    TempFolder folder;
    LedEffectStore store;
    store.Load(folder.File("ledeffect.xml"));
    store.SetItem(3, {7, 2, 1, 2});
    EXPECT_FALSE(store.Item(21));
    EXPECT_FALSE(store.Item(-2));
    EXPECT_FALSE(store.SetItem(21, {}));
    EXPECT_EQ(store.Item(-1), store.Item(20));
    store.SetSel(3);
    EXPECT_EQ(store.Item(-1), (LedEffectItem{7, 2, 1, 2}));

    // A combobox without a selection stores -1; it selects no item and reads back as 0.
    store.SetSel(-1);
    EXPECT_FALSE(store.Item(-1));
    EXPECT_NE(ReadFile(folder.File("ledeffect.xml")).find("sel=\"-1\""), std::string::npos);
    LedEffectStore reread;
    ASSERT_TRUE(reread.Load(folder.File("ledeffect.xml")));
    EXPECT_EQ(reread.Sel(), 0);
}

TEST(LedEffectStore, SaveAndLoadGiveTheSameStoreWithoutClamping) {
    TempFolder folder;
    auto path = folder.File("ledeffect.xml");
    LedEffectStore store;
    store.Load(path);
    for (int i = 0; i < 21; ++i) {
        store.SetItem(i, {static_cast<std::uint8_t>(i % 14), static_cast<std::uint8_t>(i % 3),
                          static_cast<std::uint8_t>(i % 2), static_cast<std::uint8_t>(i % 4)});
    }
    store.SetSel(11);
    LedEffectStore reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(reread.Sel(), 11);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(reread.Item(i), store.Item(i)) << i;

    // Save writes memory as it is; the reader is the one that clamps.
    store.SetItem(0, {200, 9, 9, 9});
    ASSERT_TRUE(store.Save());
    EXPECT_NE(ReadFile(path).find("<item speed=\"9\" brightness=\"200\" deriction=\"9\" "
                                  "selection=\"9\" />"),
              std::string::npos);
}

TEST(LedEffectStore, ResetRestoresAndWritesTheDefaults) {
    TempFolder folder;
    auto path = folder.File("ledeffect.xml");
    WriteFile(path, "<effect sel='4'><item brightness='2' speed='1' selection='3'/></effect>");
    LedEffectStore store;
    ASSERT_TRUE(store.Load(path));
    store.Reset();
    EXPECT_EQ(store.Sel(), 20);
    EXPECT_EQ(store.Item(0), LedEffectItem{});
    EXPECT_EQ(ReadFile(path), DefaultFile());
}

TEST(LedEffectStore, TheExecutorThreadReadsWholeItemsWhileTheUiThreadChangesThem) {
    LedEffectStore store;
    for (int i = 0; i < LedEffectStore::kItemCount; ++i)
        store.SetItem(i, {0, 0, 0, 0});
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread executor([&] {
        while (!done) {
            auto item = store.Item(-1);
            // Every item written below has four equal bytes.
            if (item && (item->speed != item->brightness || item->deriction != item->selection ||
                         item->speed != item->selection)) {
                ++torn;
            }
            store.Sel();
        }
    });
    for (int i = 0; i < 20000; ++i) {
        auto v = static_cast<std::uint8_t>(i % 200);
        store.SetItem(i % 21, {v, v, v, v});
        if (i % 100 == 0)
            store.LoadFromText("<effect sel='" + std::to_string(i % 21) + "'/>");
    }
    done = true;
    executor.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace keylume
