#include "core/settings/RecordStore.h"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "core/settings/KeyTable.h"
#include "core/settings/SettingsNotices.h"

namespace keylume {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

KeyRecord KeyA() {
    return KeyRecord{0x70004,
                     0,
                     2,
                     3,
                     L"A",
                     L"Group 0",
                     {{0x700E0, 1, 11, L"Left Ctrl"}, {0x700E0, 0, 10, L"Left Ctrl"}}};
}

TEST(RecordStore, SavesHexadecimalCodesAndDecimalNumbers) {
    TempFolder folder;
    auto path = folder.File("record.xml");
    RecordStore store;
    EXPECT_FALSE(store.Load(path));
    EXPECT_TRUE(store.Snapshot()->empty());
    store.AddOrReplace(KeyA());  // a new record is saved at once
    EXPECT_EQ(ReadFile(path),
              "<?xml version=\"1.0\"?>\n"
              "<record code=\"70004\" play=\"2\" type=\"0\" repeat=\"3\" name=\"A\" "
              "group=\"Group 0\">\n"
              "\t<item code=\"700e0\" state=\"1\" delay=\"11\" name=\"Left Ctrl\" />\n"
              "\t<item code=\"700e0\" state=\"0\" delay=\"10\" name=\"Left Ctrl\" />\n"
              "</record>\n");
}

TEST(RecordStore, SaveAndLoadGiveTheSameRecordsInOrder) {
    TempFolder folder;
    auto path = folder.File("record.xml");
    RecordStore store;
    store.Load(path);
    store.AddOrReplace(KeyA());
    store.AddOrReplace({0xC00CD, 2, 1, 1, L"\u64AD\u653E", L"Play/Pause", {{0xC00CD, 0, 0, L""}}});
    store.AddOrReplace({0x10001, 3, -1, -7, L"<&>\"'\x01\n\r end", L"", {}});
    store.AddOrReplace(
        {0xFFFFFFFF, 1, 8, 0, L"", L"", {{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, L"x"}}});
    ASSERT_TRUE(store.Save());
    RecordStore reread;
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(*reread.Snapshot(), *store.Snapshot());
}

TEST(RecordStore, ReadsEveryTopLevelElementAsARecordAndEveryChildAsAnItem) {
    RecordStore store;
    ASSERT_TRUE(store.LoadFromText(R"(<?xml version="1.0"?>
        <record code="0x70004" type="1" play="-2" repeat="2" name="A" group="B">
            <item code="0x700e1" state="1" delay="5"/><x code="zz" state="0x1" delay="-1"/>
        </record>
        <anything code="" type="-1"/>
        <r code="g"/>)"));
    auto list = store.Snapshot();
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0],
              (KeyRecord{
                  0x70004, 1, -2, 2, L"A", L"B", {{0x700E1, 1, 5, L""}, {0, 0, 0xFFFFFFFF, L""}}}));
    EXPECT_EQ((*list)[1], (KeyRecord{0, -1, 0, 0, L"", L"", {}}));
    EXPECT_EQ((*list)[2].code, 0u);
}

TEST(RecordStore, ABrokenFileLeavesTheListAsItWas) {
    TempFolder folder;
    RecordStore store;
    store.LoadFromText("<record code='4'/>");
    WriteFile(folder.File("record.xml"), "<record code='5'");
    EXPECT_FALSE(store.Load(folder.File("record.xml")));
    ASSERT_EQ(store.Snapshot()->size(), 1u);
    EXPECT_EQ(store.Snapshot()->front().code, 4u);
}

TEST(RecordStore, DuplicatesLoadAndTheFirstIsReplacedOrRemoved) {
    TempFolder folder;
    auto path = folder.File("record.xml");
    const std::string content =
        "<record code='70004' name='first'/><record code='70005'/>"
        "<record code='70004' name='second'/>";
    WriteFile(path, content);
    RecordStore store;
    ASSERT_TRUE(store.Load(path));
    ASSERT_EQ(store.Snapshot()->size(), 3u);

    KeyRecord replacement = KeyA();
    replacement.name = L"replaced";
    store.AddOrReplace(replacement);
    auto list = store.Snapshot();
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0], replacement);
    EXPECT_EQ((*list)[2].name, L"second");
    EXPECT_EQ(ReadFile(path), content) << "a replacement is not saved";

    EXPECT_TRUE(store.Remove(0x70004));
    list = store.Snapshot();
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[0].code, 0x70005u);
    EXPECT_EQ((*list)[1].name, L"second");
    EXPECT_FALSE(store.Remove(0x70006));
    EXPECT_EQ(ReadFile(path), content) << "a removal is not saved";
}

TEST(RecordStore, SnapshotsNeverChangeAfterTheyAreTaken) {
    TempFolder folder;
    RecordStore store;
    store.Load(folder.File("record.xml"));
    store.AddOrReplace(KeyA());
    auto before = store.Snapshot();
    KeyRecord other = KeyA();
    other.repeat = 99;
    store.AddOrReplace(other);
    store.AddOrReplace({0x70005, 0, 1, 1, L"B", L"", {}});
    store.Remove(0x70005);
    store.Clear();
    ASSERT_EQ(before->size(), 1u);
    EXPECT_EQ(before->front(), KeyA());
    EXPECT_TRUE(store.Snapshot()->empty());
    // Clear saves: the file holds no record any more.
    EXPECT_EQ(ReadFile(folder.File("record.xml")), "<?xml version=\"1.0\"?>\n");
}

TEST(RecordStore, TheReaderThreadWalksWholeListsWhileTheUiThreadChangesThem) {
    RecordStore store;
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done) {
            auto list = store.Snapshot();
            for (const KeyRecord& record : *list) {
                if (record.items.size() != record.code % 7)
                    ++bad;
            }
        }
    });
    for (std::uint32_t i = 0; i < 2000; ++i) {
        std::uint32_t code = 0x70000 + i % 50;
        KeyRecord record{code, 0, 2, 1, L"k", L"g", std::vector<MacroItem>(code % 7)};
        store.AddOrReplace(record);  // path empty: the save fails quietly
        if (i % 3 == 0)
            store.Remove(0x70000 + (i * 7) % 50);
        if (i % 500 == 0)
            store.Clear();
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad, 0);
}

TEST(KeyTable, HoldsTheLowByteOfTheUsageIdAndThePageOfTheFirst256Records) {
    std::vector<KeyRecord> records;
    for (std::uint32_t i = 0; i < 300; ++i) {
        records.push_back(
            {(i % 2 ? 0x000C0000u : 0x00070000u) | (0x100 + i), 0, 1, 1, L"", L"", {}});
    }
    records[0].code = 0x00070004;
    records[1].code = 0x000C01CD;
    records[2].code = 0x12340001;  // only the page's low byte fits
    KeyTable table = MakeKeyTable(records);
    EXPECT_EQ(
        (std::vector<std::uint8_t>(table.begin(), table.begin() + 12)),
        (std::vector<std::uint8_t>{0x04, 0, 0x07, 0x02, 0xCD, 0, 0x0C, 0x02, 0x01, 0, 0x34, 0x02}));
    // Entry 255 is the last one; record 256 and later stay out.
    EXPECT_EQ(table[4 * 255 + 0], static_cast<std::uint8_t>(0x100 + 255));
    EXPECT_EQ(table[4 * 255 + 2], 0x0C);
    EXPECT_EQ(table[4 * 255 + 3], 0x02);

    KeyTable few = MakeKeyTable({records[0]});
    for (std::size_t i = 4; i < kKeyTableSize; ++i)
        ASSERT_EQ(few[i], 0) << i;
    KeyTable none = MakeKeyTable({});
    for (std::uint8_t byte : none)
        ASSERT_EQ(byte, 0);
}

TEST(RecordStore, TheProcessWideStoreIsOneObject) {
    EXPECT_EQ(&GetRecordStore(), &GetRecordStore());
    EXPECT_TRUE(GetRecordStore().Snapshot() != nullptr);
}

}  // namespace
}  // namespace keylume

namespace keylume {
namespace {

// What Clear() writes is read back as an empty list, not as a damaged file to be moved aside;
// a file that is not XML at all still is.
TEST(RecordStore, ReadsBackTheFileOfAnEmptyList) {
    test::TempFolder folder;
    const auto file = folder.File("record.xml");
    {
        RecordStore store;
        store.Load(file);
        store.AddOrReplace({0x70004, 1, 1, 1, L"A", L"B", {}});
        store.Clear();
    }
    const std::string empty = test::ReadFile(file);
    std::vector<std::string> notices;
    SetSettingsNoticeSink([&](const SettingsNotice& n) { notices.push_back(n.file.string()); });
    RecordStore again;
    ASSERT_TRUE(again.LoadFromText(R"(<record code="70005" type="1" play="1"/>)"));
    EXPECT_TRUE(again.Load(file));
    EXPECT_TRUE(again.Snapshot()->empty());
    EXPECT_EQ(test::ReadFile(file), empty);
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(folder.OtherEntries("record.xml").empty());

    const struct {
        const char* text;
        bool read;
    } kCases[] = {{"<?xml version=\"1.0\"?>\n", true},
                  {"  <!-- nothing bound -->\n", true},
                  {"", false},
                  {"hello", false},
                  {"<?xml version=\"1.0\"?>\nhello", false},
                  {"<!-- open", false}};
    for (const auto& c : kCases)
        EXPECT_EQ(RecordStore().LoadFromText(c.text), c.read) << c.text;
    SetSettingsNoticeSink(nullptr);
    ForgetSettingsNotices();
}

}  // namespace
}  // namespace keylume
