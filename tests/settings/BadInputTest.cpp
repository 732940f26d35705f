#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "core/settings/AppConfig.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SideLightStore.h"

namespace keylume {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const std::string kBom = "\xEF\xBB\xBF";

TEST(BadInput, AByteOrderMarkIsAccepted) {
    LedEffectStore led;
    ASSERT_TRUE(led.LoadFromText(kBom + "<effect sel='3'><item brightness='5'/></effect>"));
    EXPECT_EQ(led.Sel(), 3);
    EXPECT_EQ(led.Item(0)->brightness, 5);
    RecordStore records;
    ASSERT_TRUE(records.LoadFromText(kBom + "<record code='70004'/>"));
    EXPECT_EQ(records.Snapshot()->size(), 1u);
}

TEST(BadInput, AUtf16FileIsNotUtf8) {
    std::u16string utf16 = u"\uFEFF<config repeat='4'/><macro><group name='g'/></macro>";
    std::string bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    TempFolder folder;
    WriteFile(folder.File("macro.xml"), bytes);
    MacroStore macros;
    // Read as UTF-8 it is either no document or one with no element of ours; its bytes survive,
    // in place or set aside beside it.
    macros.Load(folder.File("macro.xml"));
    EXPECT_EQ(macros.repeat, 1);
    EXPECT_TRUE(macros.groups.empty());
    std::vector<std::string> names = folder.OtherEntries("");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(ReadFile(folder.File(names[0])), bytes);
}

TEST(BadInput, InvalidUtf8InTextIsReadWithoutHarmAndSavesAsValidXml) {
    RecordStore records;
    ASSERT_TRUE(records.LoadFromText(
        "<record code='4' name='\xE9t\xE9 \xFF\xC0\x80' group='\xF4\x90\x80\x80'>"
        "<item name='\xED\xA0\x80'/></record>"));
    ASSERT_EQ(records.Snapshot()->size(), 1u);
    // Bytes that are not UTF-8 stay visible as replacement characters.
    const KeyRecord& record = records.Snapshot()->front();
    EXPECT_EQ(record.name, L"\uFFFDt\uFFFD \uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(record.group, L"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(record.items.at(0).name, L"\uFFFD\uFFFD\uFFFD");
    AppConfig config;
    ASSERT_TRUE(config.LoadFromText("<funkey><a name='\xB3' code='c00cd'/></funkey>"));
    ASSERT_EQ(config.funkeys.size(), 1u);
    EXPECT_EQ(config.funkeys[0].name, L"\uFFFD") << "a shown name is never empty";
    std::string saved = records.ToXml();
    RecordStore reread;
    ASSERT_TRUE(reread.LoadFromText(saved));
    EXPECT_EQ(reread.ToXml(), saved);
}

TEST(BadInput, DuplicatedAttributesReadTheFirst) {
    SideLightStore side;
    ASSERT_TRUE(side.LoadFromText(
        "<effect sel='3' sel='5'><item brightness='2' brightness='6'/></effect>"));
    EXPECT_EQ(side.Sel(), 3);
    EXPECT_EQ(side.Item(0)->Level(), 2);
}

TEST(BadInput, DeepNestingIsNoProblem) {
    std::string open, close;
    for (int i = 0; i < 200000; ++i) {
        open += "<a>";
        close += "</a>";
    }
    MacroStore macros;
    ASSERT_TRUE(macros.LoadFromText("<macro><group name='g'>" + open + close + "</group></macro>"));
    ASSERT_EQ(macros.groups.size(), 1u);
    EXPECT_EQ(macros.groups[0].items.size(), 1u);
    RecordStore records;
    ASSERT_TRUE(records.LoadFromText(open + close));
    EXPECT_EQ(records.Snapshot()->size(), 1u);
    AppConfig config;
    EXPECT_TRUE(config.LoadFromText("<funkey>" + open + close + "</funkey>"));
    EXPECT_TRUE(config.funkeys.empty());
}

TEST(BadInput, AHundredMegabyteFileLoadsWithoutHanging) {
    TempFolder folder;
    auto path = folder.File("record.xml");
    // Mostly white space between items, so the test is heavy on the reader but not on memory.
    std::string big = "<record code='70004' name='";
    big.append(1u << 20, 'x');
    big += "'>";
    big.append(100u << 20, ' ');
    big += "<item code='4'/></record><record code='70005'/>";
    WriteFile(path, big);
    big.clear();
    big.shrink_to_fit();

    auto start = std::chrono::steady_clock::now();
    RecordStore records;
    ASSERT_TRUE(records.Load(path));
    auto list = records.Snapshot();
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ(list->front().name.size(), 1u << 20);
    EXPECT_EQ(list->front().items.size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(BadInput, HugeAndNegativeNumbersStayInTheirRanges) {
    LedEffectStore led;
    ASSERT_TRUE(led.LoadFromText(
        "<effect sel='-99999999999999999999'><item speed='99999999999999999999' "
        "brightness='-5' deriction='18446744073709551617' selection='4294967297'/></effect>"));
    EXPECT_EQ(led.Sel(), 0);
    auto item = *led.Item(0);
    EXPECT_LE(item.speed, 2);
    EXPECT_LE(item.brightness, 13);
    EXPECT_LE(item.deriction, 1);

    MacroStore macros;
    ASSERT_TRUE(macros.LoadFromText("<config repeat='99999999999' delay='-2'/>"));
    EXPECT_EQ(macros.repeat, -1);
    EXPECT_EQ(macros.delay, -2);
}

// A directory where a file should be: no store reads it and no directory is replaced.
TEST(BadInput, ADirectoryInPlaceOfEachFile) {
    TempFolder folder;
    for (const char* name :
         {"config.xml", "ledeffect.xml", "sidemodel.xml", "macro.xml", "record.xml"}) {
        std::filesystem::create_directory(folder.File(name));
    }
    AppConfig config;
    EXPECT_FALSE(config.Load(folder.File("config.xml")));
    LedEffectStore led;
    EXPECT_FALSE(led.Load(folder.File("ledeffect.xml")));
    EXPECT_EQ(led.Sel(), 20);
    SideLightStore side;
    EXPECT_FALSE(side.Load(folder.File("sidemodel.xml")));
    EXPECT_EQ(side.Item(0)->Level(), 4);
    MacroStore macros;
    EXPECT_FALSE(macros.Load(folder.File("macro.xml")));
    RecordStore records;
    EXPECT_FALSE(records.Load(folder.File("record.xml")));
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_TRUE(entry.is_directory()) << entry.path();
    }
}

TEST(BadInput, APipeOrAnOversizedFileIsNotRead) {
    TempFolder folder;
#ifndef _WIN32  // no named pipes in the file system on Windows
    auto pipe = folder.File("macro.xml");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    MacroStore macros;
    EXPECT_FALSE(macros.Load(pipe)) << "returns at once instead of waiting for a writer";
#endif

    // Sparse: 300 MB on paper, nothing on the disk.
    auto huge = folder.File("ledeffect.xml");
    WriteFile(huge, "<effect sel='3'/>");
    std::filesystem::resize_file(huge, 300u << 20);
    LedEffectStore led;
    EXPECT_FALSE(led.Load(huge));
    EXPECT_EQ(led.Sel(), 20);
    EXPECT_EQ(std::filesystem::file_size(huge), led.ToXml().size()) << "the defaults replace it";
}

TEST(BadInput, AReadOnlyBrokenLightingFileIsNotReplaced) {
    TempFolder folder;
    auto path = folder.File("ledeffect.xml");
    WriteFile(path, "<effect");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    LedEffectStore led;
    EXPECT_FALSE(led.Load(path));
    EXPECT_EQ(led.Sel(), 20) << "memory holds the defaults";
    EXPECT_EQ(ReadFile(path), "<effect");
}

}  // namespace
}  // namespace keylume
