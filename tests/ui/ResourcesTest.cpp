// The resource package, named strings and IDs, and the translator.
#include <QComboBox>
#include <QPixmap>

#include "UiTestSupport.h"
#include "ui/InputControls.h"

namespace keylume::test {
namespace {

TEST(NamedIds, TableIsSortedByCodeUnitsWithTheThreeRuns) {
    auto table = ui::KeylumeNamedIds();
    ASSERT_EQ(table.size(), 69u);
    EXPECT_EQ(table.front().name, "_name_start");
    EXPECT_EQ(table.front().id, 0xFFFF);
    for (size_t i = 1; i < table.size(); ++i) {
        EXPECT_TRUE(ui::NamedIdLess(table[i - 1].name, table[i].name))
            << table[i - 1].name.toStdString() << " before " << table[i].name.toStdString();
        EXPECT_LE(table[i].name.size(), 51);
    }
    std::vector<int> ids;
    for (const auto& e : table)
        ids.push_back(e.id);
    std::sort(ids.begin(), ids.end());
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], 0xFFFF + static_cast<int>(i));
    EXPECT_TRUE(ui::NamedIdLess("btnCancel", "btn_min"));
    EXPECT_TRUE(ui::NamedIdLess("Zed", "_a"));
    EXPECT_TRUE(ui::NamedIdLess("_a", "a"));
}

TEST(NamedIds, FindsByBinarySearchEvenWhenGivenUnsorted) {
    ui::SNamedIds ids;
    ids.Init({{"zeta", 3}, {"Alpha", 1}, {"_mid", 2}});
    EXPECT_EQ(ids.Entries().front().name, "Alpha");
    EXPECT_EQ(ids.Find("zeta"), 3);
    EXPECT_EQ(ids.Find("_mid"), 2);
    EXPECT_EQ(ids.Find("missing"), 0);

    ids.Init(ui::KeylumeNamedIds());
    const std::pair<const char*, int> known[] = {{"title", 65536},
                                                 {"btn_more", 65537},
                                                 {"radio_direction_left_0", 65544},
                                                 {"radio_direction_right_0", 65545},
                                                 {"radio_loader_left_3", 65551},
                                                 {"radio_loader_right_3", 65553},
                                                 {"btn_restore_factory", 65554},
                                                 {"bar_side_brightness", 65559},
                                                 {"btnMin", 65560},
                                                 {"chk_macro_realy_delay", 65586},
                                                 {"chk_macro_no_delay", 65588},
                                                 {"btnDelete", 65596},
                                                 {"msgtitle", 65597},
                                                 {"button3rd", 65603},
                                                 {"_name_start", 65535}};
    for (const auto& [name, id] : known)
        EXPECT_EQ(ids.Find(name), id) << name;
}

using Resources = UiTest;

TEST_F(Resources, PackageProvidesEveryNamedResource) {
    const char* const xml[] = {"UIDEF:XML_INIT",        "LAYOUT:XML_MAINWND", "LAYOUT:macro",
                               "LAYOUT:SYS_XML_MSGBOX", "values:string",      "values:color",
                               "values:skin",           "translator:lang_cn", "translator:lang_en",
                               "SMENU:menu_tray",       "SMENUEX:menu_more",  "smenuex:menu_more",
                               "layout:xml_mainwnd"};
    for (const char* name : xml)
        EXPECT_NE(app_->LoadXml(name), nullptr) << name;
    const char* const main[] = {"table_main_bg",
                                "table_main_icon",
                                "state_func_bg",
                                "state_funcc_bg",
                                "ioc_func_macro",
                                "ioc_func_rgb",
                                "cbox_profile_normal",
                                "cbox_profile_selected",
                                "cbox_profile_ico",
                                "img_keboard_normal",
                                "img_keboard_checked",
                                "img_keboard_pressed",
                                "img_keboard_floating",
                                "win_macro_bg",
                                "bg_macr_keys",
                                "state_del",
                                "state_add",
                                "state_capture",
                                "state_import",
                                "state_export",
                                "state_up",
                                "state_down",
                                "state_record",
                                "state_ok",
                                "state_cancel",
                                "bg_macro_group",
                                "image_bg_macro_content",
                                "bg_progress_bg",
                                "bg_progress_pos",
                                "state_progres_thum",
                                "icon_color_effects",
                                "state_color_effects",
                                "state_color_select",
                                "state_clear",
                                "more_menu",
                                "img_keboard_demo"};
    ASSERT_EQ(std::size(main), 36u);
    for (const char* name : main) {
        EXPECT_FALSE(app_->LoadImage(QString("main:%1_png").arg(name)).isNull()) << name;
    }
    EXPECT_FALSE(app_->LoadImage("kb_macro:bg_png").isNull());
    EXPECT_FALSE(app_->LoadIcon("ICON:ICON_LOGO").isNull());
    EXPECT_TRUE(app_->LoadImage("main:nothing_png").isNull());
}

TEST_F(Resources, PicturesAreDrawnAtTwiceTheirSize) {
    QPixmap kb = app_->LoadImage("main:img_keboard_normal_png");
    EXPECT_EQ(kb.devicePixelRatio(), 2.0);
    EXPECT_EQ(kb.deviceIndependentSize().toSize(), QSize(932, 292));
}

TEST_F(Resources, StringsAreSortedAndIndexZeroIsTheInstanceName) {
    ASSERT_GE(app_->StringCount(), 2);
    EXPECT_EQ(app_->GetStringByIndex(0), "Keylume.Instance.7f3a91c2");
    EXPECT_EQ(app_->GetString("kb_coords"), "uires/kb/keyboard.xml");
    EXPECT_EQ(app_->ResolveRefs("@string/app_title"), "Keylume");
    EXPECT_EQ(app_->ResolveRefs("@string/none"), "");
    EXPECT_EQ(app_->ResolveRefs("plain"), "plain");
    EXPECT_TRUE(app_->GetStringByIndex(-1).isEmpty());
    EXPECT_TRUE(app_->GetStringByIndex(app_->StringCount()).isEmpty());
    EXPECT_EQ(app_->GetColor("accent"), QColor("#00c8ff"));
    EXPECT_NE(app_->GetSkin("skin.more"), nullptr);
    EXPECT_EQ(app_->GetSkin("skin.more")->states, 4);
}

TEST_F(Resources, SecondPackageKeepsStringsSorted) {
    auto extra = TempPackage({{"UIDEF", "XML_INIT", "<uidef><string src='values:string'/></uidef>"},
                              {"values", "string",
                               "<string><item name='AAA' value='first'/>"
                               "<item name='kb_coords' value='other.xml'/></string>"}});
    ASSERT_TRUE(app_->AddResProvider(extra));
    EXPECT_EQ(app_->GetStringByIndex(0), "first");
    EXPECT_EQ(app_->GetString("kb_coords"), "other.xml");
}

TEST_F(Resources, IndexRefusesPathsOutsideThePackage) {
    auto pkg = TempPackage({{"XML", "ok", "<a/>"}});
    QFile idx(pkg->Folder() + "/uires.idx");
    ASSERT_TRUE(idx.open(QIODevice::WriteOnly));
    idx.write(
        "<resources><file type='XML' name='up' path='../secret'/>"
        "<file type='XML' name='abs' path='/etc/passwd'/>"
        "<file type='XML' name='ok' path='r0.dat'/><file name='x'/></resources>");
    idx.close();
    ui::SResProviderFiles p;
    ASSERT_TRUE(p.Init(pkg->Folder()));
    EXPECT_EQ(p.Count(), 1);
    EXPECT_FALSE(p.HasResource("xml", "up"));
    EXPECT_FALSE(p.HasResource("XML", "abs"));
    EXPECT_EQ(p.Load("xml", "ok"), "<a/>");
    ui::SResProviderFiles none;
    EXPECT_FALSE(none.Init(temp_.path() + "/nowhere"));
}

TEST_F(Resources, LanguageSwitchReTranslatesEveryControl) {
    ui::SHostWnd host("LAYOUT:XML_MAINWND");
    ASSERT_TRUE(host.Create());
    auto* effects = host.FindChildByName2<ui::SComboBox>("cbx_color_effect");
    ui::SWindow* side = host.FindChildByName("text_side_brightness");
    ASSERT_TRUE(effects && side);
    EXPECT_EQ(effects->Widget()->itemText(2), "Breathing");

    ASSERT_TRUE(app_->LoadLanguage("lang_cn"));
    EXPECT_EQ(app_->Translator().CurrentLanguage(), "lang_cn");
    host.SendMessage(ui::msg::kSetLanguage);
    EXPECT_EQ(effects->Widget()->itemText(2), QString::fromUtf8("呼吸"));
    EXPECT_EQ(side->DisplayText(), QString::fromUtf8("速度"));
    EXPECT_EQ(effects->GetLBText(2), "Breathing");  // the source stays

    // The same language again: the second object is refused, the first stays in use.
    ASSERT_TRUE(app_->LoadLanguage("lang_cn"));
    EXPECT_EQ(app_->Translator().InstalledCount(), 1);
    EXPECT_EQ(app_->Tr("Warning"), QString::fromUtf8("警告"));

    ASSERT_TRUE(app_->LoadLanguage("lang_en"));
    host.SendMessage(ui::msg::kSetLanguage);
    EXPECT_EQ(effects->Widget()->itemText(2), "Breathing");
    EXPECT_EQ(app_->Translator().InstalledCount(), 1);

    EXPECT_FALSE(app_->LoadLanguage("lang_jp"));
    EXPECT_EQ(app_->Translator().CurrentLanguage(), "lang_en");
}

TEST(Translator, InstallRulesAndNameLimit) {
    auto make = [](const QByteArray& xml) {
        auto doc = ui::ParseXml(xml);
        auto lang = std::make_shared<ui::SLanguage>();
        EXPECT_TRUE(doc && lang->Load(*doc));
        return lang;
    };
    ui::STranslator t;
    auto cn = make(
        "<language name='lang_cn' id='a'><context name=''>"
        "<text src='OK'>确定</text></context>"
        "<context name='dlg'><text src='OK'>好</text></context></language>");
    EXPECT_FALSE(t.InstallLanguage(cn)) << "no current language yet";
    t.SetLanguage("lang_cn");
    EXPECT_TRUE(t.InstallLanguage(cn));
    EXPECT_FALSE(t.InstallLanguage(cn));
    EXPECT_EQ(t.Tr("OK"), QString::fromUtf8("确定"));
    EXPECT_EQ(t.Tr("OK", "dlg"), QString::fromUtf8("好"));
    EXPECT_EQ(t.Tr("OK", "other"), QString::fromUtf8("确定"));
    EXPECT_EQ(t.Tr("Unknown"), "Unknown");
    t.SetLanguage("lang_en");
    EXPECT_EQ(t.InstalledCount(), 0);
    EXPECT_EQ(t.Tr("OK"), "OK");

    QString longName(80, 'x');
    auto longLang = make("<language name='" + longName.toUtf8() + "'/>");
    EXPECT_EQ(longLang->Name().size(), 63);
    t.SetLanguage(longName);
    EXPECT_EQ(t.CurrentLanguage().size(), 63);
    EXPECT_TRUE(t.InstallLanguage(longLang));

    ui::SLanguage wrong;
    EXPECT_FALSE(wrong.Load(*ui::ParseXml("<lang name='x'/>")));
}

TEST_F(Resources, BothTranslationsCoverEveryLayoutText) {
    auto cn = app_->LoadXml("translator:lang_cn");
    auto en = app_->LoadXml("translator:lang_en");
    ASSERT_TRUE(cn && en);
    ui::SLanguage c, e;
    ASSERT_TRUE(c.Load(*cn));
    ASSERT_TRUE(e.Load(*en));
    // Walk the layouts and menus: every text, title and tip has both translations.
    std::function<void(const ui::XmlNode&)> walk = [&](const ui::XmlNode& n) {
        for (const char* attr : {"text", "title", "tip"}) {
            QString t = n.Attribute(attr);
            if (t.isEmpty() || t.startsWith('@') || t == "--")
                continue;
            EXPECT_FALSE(c.Find(t, {}).isNull()) << "lang_cn lacks " << t.toStdString();
            EXPECT_FALSE(e.Find(t, {}).isNull()) << "lang_en lacks " << t.toStdString();
        }
        for (const auto& child : n.children)
            walk(*child);
    };
    for (const char* res :
         {"LAYOUT:XML_MAINWND", "LAYOUT:macro", "SMENUEX:menu_more", "SMENU:menu_tray"}) {
        auto doc = app_->LoadXml(res);
        ASSERT_TRUE(doc) << res;
        walk(*doc);
    }
    for (const char* t :
         {"Warning", "Please insert USB device!", "Speed", "Brightness", "Start record",
          "Stop record", "OK", "Cancel", "Yes", "No", "Firmware", "Early version"}) {
        EXPECT_FALSE(c.Find(t, {}).isNull()) << t;
    }
}

}  // namespace
}  // namespace keylume::test
