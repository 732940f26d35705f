#include "core/settings/AppConfig.h"

#include <string>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "core/settings/DataFolder.h"

namespace keylume {
namespace {

using test::TempFolder;
using test::WriteFile;

struct LanguageCase {
    const char* xml;
    bool chinese;

    friend void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.xml; }
};

class AppConfigLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(AppConfigLanguage, OnlyExactCnSelectsChinese) {
    AppConfig config;
    ASSERT_TRUE(config.LoadFromText(GetParam().xml));
    EXPECT_EQ(config.chineseUi, GetParam().chinese) << GetParam().xml;
}

INSTANTIATE_TEST_SUITE_P(Cases, AppConfigLanguage,
                         ::testing::Values(LanguageCase{"<local language='cn'/>", true},
                                           LanguageCase{"<x/><local language='cn'/>", true},
                                           LanguageCase{"<local language='CN'/>", false},
                                           LanguageCase{"<local language=' cn'/>", false},
                                           LanguageCase{"<local language='local'/>", false},
                                           LanguageCase{"<local/>", false},
                                           LanguageCase{"<usb/>", false}));

TEST(AppConfig, ReadsTheUsbIdentityAsHexadecimalWithOrWithoutPrefix) {
    AppConfig config;
    ASSERT_TRUE(config.LoadFromText(
        "<funkey/><usb vid='0x1A2C' pid='2d3e' interface=' 0x01' subdevice='2zz'/>"));
    EXPECT_EQ(config.vid, 0x1A2C);
    EXPECT_EQ(config.pid, 0x2D3E);
    EXPECT_EQ(config.usbInterface, 1);
    EXPECT_EQ(config.subdevice, 2);

    // Missing attributes or a missing element read as 0; -1 names a keyboard without interface.
    ASSERT_TRUE(config.LoadFromText("<usb vid='1a2c' interface='-1'/>"));
    EXPECT_EQ(config.vid, 0x1A2C);
    EXPECT_EQ(config.pid, 0);
    EXPECT_EQ(config.usbInterface, -1);
    EXPECT_EQ(config.subdevice, 0);
    ASSERT_TRUE(config.LoadFromText("<local language='cn'/>"));
    EXPECT_EQ(config.vid, 0);
}

TEST(AppConfig, AnUnloadableFileChangesNothing) {
    TempFolder folder;
    AppConfig config;
    config.chineseUi = true;
    config.funkeys.push_back({L"Mute", 0xC00E2, L"", L""});
    EXPECT_FALSE(config.Load(folder.File("config.xml")));
    WriteFile(folder.File("config.xml"), "<usb vid='1' <broken");
    EXPECT_FALSE(config.Load(folder.File("config.xml")));
    EXPECT_FALSE(config.Load(folder.Path()));  // a directory where the file should be

    // The built-in keyboard is kept as the identity.
    EXPECT_EQ(config.vid, 0x1A2C);
    EXPECT_EQ(config.pid, 0x2D3E);
    EXPECT_EQ(config.usbInterface, 1);
    EXPECT_EQ(config.subdevice, 2);
    EXPECT_TRUE(config.chineseUi);
    EXPECT_EQ(config.funkeys.size(), 1u);
}

TEST(AppConfig, AWrappingRootHidesEveryElement) {
    AppConfig config;
    ASSERT_TRUE(config.LoadFromText(
        "<config><local language='cn'/><usb vid='1a2c'/><funkey><k name='a'/></funkey></config>"));
    EXPECT_FALSE(config.chineseUi);
    EXPECT_EQ(config.vid, 0);
    EXPECT_TRUE(config.funkeys.empty());
    EXPECT_TRUE(config.combkeys.empty());
}

TEST(AppConfig, FunkeysSkipNamelessChildrenWhateverTheirElementNames) {
    AppConfig config;
    ASSERT_TRUE(config.LoadFromText(R"(<funkey>
        <key name="Play/Pause" code="0xC00CD" path="p" argm="a"/>
        <other code="c00e2"/>
        <x name="" code="c00e9"/>
        text between
        <media name="Mute" code="c00e2"/>
        <anything name="No code"/>
    </funkey>)"));
    ASSERT_EQ(config.funkeys.size(), 3u);
    EXPECT_EQ(config.funkeys[0], (FunKeyEntry{L"Play/Pause", 0xC00CD, L"p", L"a"}));
    EXPECT_EQ(config.funkeys[1], (FunKeyEntry{L"Mute", 0xC00E2, L"", L""}));
    EXPECT_EQ(config.funkeys[2], (FunKeyEntry{L"No code", 0, L"", L""}));
}

TEST(AppConfig, NamesAreDecodedFromUtf8AndOtherEncodingsAreDetected) {
    AppConfig config;
    ASSERT_TRUE(
        config.LoadFromText("<funkey><k name='\xE6\x92\xAD\xE6\x94\xBE' code='c00cd'/></funkey>"));
    ASSERT_EQ(config.funkeys.size(), 1u);
    EXPECT_EQ(config.funkeys[0].name, L"\u64AD\u653E");

    // The same file in UTF-16 with its byte-order mark.
    std::u16string utf16 =
        u"\uFEFF<local language='cn'/><funkey><k name='\u64AD' code='c00cd'/></funkey>";
    std::string bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    ASSERT_TRUE(config.LoadFromText(bytes));
    EXPECT_TRUE(config.chineseUi);
    ASSERT_EQ(config.funkeys.size(), 1u);
    EXPECT_EQ(config.funkeys[0].name, L"\u64AD");
}

struct CombCase {
    const char* code;  // null: no "code" attribute
    std::vector<CombKeyPair> keys;

    friend void PrintTo(const CombCase& c, std::ostream* os) {
        *os << (c.code ? c.code : "(none)");
    }
};

class AppConfigCombkey : public ::testing::TestWithParam<CombCase> {};

TEST_P(AppConfigCombkey, ReadsThePairSyntax) {
    std::string xml = "<combkey><c name='n'";
    if (GetParam().code)
        xml += std::string(" code='") + GetParam().code + "'";
    xml += "/><after name='next'/></combkey>";
    AppConfig config;
    ASSERT_TRUE(config.LoadFromText(xml));
    // An entry takes its position even without pairs.
    ASSERT_EQ(config.combkeys.size(), 2u);
    EXPECT_EQ(config.combkeys[0].name, L"n");
    EXPECT_EQ(config.combkeys[0].keys, GetParam().keys) << (GetParam().code ? GetParam().code : "");
    EXPECT_EQ(config.combkeys[1].name, L"next");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppConfigCombkey,
    ::testing::Values(CombCase{"458976:10,458758:10", {{458976, 10}, {458758, 10}}},
                      CombCase{"  458976 : 10 ,  458758:  5 ", {{458976, 10}, {458758, 5}}},
                      CombCase{"458756", {{458756, 0}}},
                      CombCase{",,458756:3,,,458757:-4,", {{458756, 3}, {458757, -4}}},
                      CombCase{",,,", {}}, CombCase{"", {}}, CombCase{nullptr, {}},
                      // Nothing before the colon names no key: skipped.
                      CombCase{":5,::,458756:1", {{458756, 1}}}, CombCase{"7:8:9", {{7, 8}}},
                      CombCase{"abc:x", {{0, 0}}}, CombCase{"4\t:2", {{4, 2}}}));

TEST(AppConfig, LoadReadsConfigXmlFromTheDataFolder) {
    TempFolder folder;
    WriteFile(folder.File("config.xml"), "<usb vid='10' pid='20'/><local language='cn'/>");
    SetDataFolder(folder.Path());
    EXPECT_EQ(DataFilePath("config.xml"), folder.File("config.xml"));
    GetAppConfig().Load();
    EXPECT_EQ(GetAppConfig().vid, 0x10);
    EXPECT_EQ(GetAppConfig().pid, 0x20);
    EXPECT_TRUE(GetAppConfig().chineseUi);
    EXPECT_EQ(&GetAppConfig(), &GetAppConfig());
}

TEST(ShippedConfig, NamesTheBuiltInKeyboardAndUsefulKeyLists) {
    AppConfig config;
    ASSERT_TRUE(config.Load(std::filesystem::path(KEYLUME_SOURCE_DIR) / "data" / "config.xml"));
    EXPECT_EQ(config.vid, 0x1A2C);
    EXPECT_EQ(config.pid, 0x2D3E);
    EXPECT_EQ(config.usbInterface, 1);
    EXPECT_EQ(config.subdevice, 2);
    EXPECT_FALSE(config.chineseUi);

    ASSERT_GE(config.funkeys.size(), 15u);
    EXPECT_EQ(config.funkeys[0].name, L"Play/Pause");
    EXPECT_EQ(config.funkeys[0].code, 0xC00CDu);
    for (const FunKeyEntry& key : config.funkeys) {
        EXPECT_EQ(key.code >> 16, 0x0Cu) << "consumer page";
        EXPECT_NE(key.code & 0xFFFF, 0u);
    }
    ASSERT_GE(config.combkeys.size(), 13u);
    EXPECT_EQ(config.combkeys[0].name, L"Copy");
    EXPECT_EQ(config.combkeys[0].keys, (std::vector<CombKeyPair>{{0x700E0, 10}, {0x70006, 10}}));
    for (const CombKeyEntry& comb : config.combkeys) {
        EXPECT_GE(comb.keys.size(), 2u) << std::string(comb.name.begin(), comb.name.end());
        for (const CombKeyPair& key : comb.keys)
            EXPECT_EQ(key.code >> 16, 7) << "keyboard page";
    }
}

}  // namespace
}  // namespace keylume
