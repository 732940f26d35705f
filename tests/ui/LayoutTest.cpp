// The layouts of the package: every named control with its ID and class, their contents, and
// what the loader does with layouts that are wrong.
#include <QComboBox>
#include <set>

#include "UiTestSupport.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/ListView.h"
#include "ui/ShellNotifyIcon.h"
#include "ui/TabCtrl.h"

namespace keylume::test {
namespace {

struct NamedControl {
    const char* layout;
    const char* name;
    const char* className;
};

const NamedControl kControls[] = {
    {"LAYOUT:XML_MAINWND", "title", "text"},
    {"LAYOUT:XML_MAINWND", "btn_more", "imgbtn"},
    {"LAYOUT:XML_MAINWND", "btn_min", "imgbtn"},
    {"LAYOUT:XML_MAINWND", "img_keyboard", "cbimg"},
    {"LAYOUT:XML_MAINWND", "cbx_color_effect", "combobox"},
    {"LAYOUT:XML_MAINWND", "tab_color_effect", "tabctrl"},
    {"LAYOUT:XML_MAINWND", "bar_general_speed_0", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "bar_const_brightness_0", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "radio_direction_left_0", "radio"},
    {"LAYOUT:XML_MAINWND", "radio_direction_right_0", "radio"},
    {"LAYOUT:XML_MAINWND", "bar_general_speed_1", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "bar_const_brightness_1", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "bar_const_brightness_2", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "bar_general_speed_3", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "bar_const_brightness_3", "sliderbar"},
    {"LAYOUT:XML_MAINWND", "radio_loader_left_3", "radio"},
    {"LAYOUT:XML_MAINWND", "radio_loader_center_3", "radio"},
    {"LAYOUT:XML_MAINWND", "radio_loader_right_3", "radio"},
    {"LAYOUT:XML_MAINWND", "btn_restore_factory", "button"},
    {"LAYOUT:XML_MAINWND", "cbx_in_lv", "combobox"},
    {"LAYOUT:XML_MAINWND", "version", "text"},
    {"LAYOUT:XML_MAINWND", "cbx_side_color_effect", "combobox"},
    {"LAYOUT:XML_MAINWND", "text_side_brightness", "window"},
    {"LAYOUT:XML_MAINWND", "bar_side_brightness", "sliderbar"},
    {"LAYOUT:macro", "btnMin", "imgbtn"},
    {"LAYOUT:macro", "btnRestore", "imgbtn"},
    {"LAYOUT:macro", "btnCancel", "imgbtn"},
    {"LAYOUT:macro", "text_recording_keys", "text"},
    {"LAYOUT:macro", "tab_macro_mode_selection", "tabctrl2"},
    {"LAYOUT:macro", "item_up", "button"},
    {"LAYOUT:macro", "item_down", "button"},
    {"LAYOUT:macro", "item_delete", "button"},
    {"LAYOUT:macro", "item_clear", "button"},
    {"LAYOUT:macro", "groupDel", "button"},
    {"LAYOUT:macro", "groupAdd", "button"},
    {"LAYOUT:macro", "groupImport", "button"},
    {"LAYOUT:macro", "groupExport", "button"},
    {"LAYOUT:macro", "macro_group", "listview"},
    {"LAYOUT:macro", "group_name", "edit"},
    {"LAYOUT:macro", "key_info", "mclistview"},
    {"LAYOUT:macro", "col1", "window"},
    {"LAYOUT:macro", "key_code", "text"},
    {"LAYOUT:macro", "col2", "window"},
    {"LAYOUT:macro", "key_name", "text"},
    {"LAYOUT:macro", "col3", "window"},
    {"LAYOUT:macro", "key_state", "text"},
    {"LAYOUT:macro", "col4", "window"},
    {"LAYOUT:macro", "key_delay", "editex"},
    {"LAYOUT:macro", "edit_macro_repeat_times", "edit"},
    {"LAYOUT:macro", "edit_macro_delay_time", "edit"},
    {"LAYOUT:macro", "chk_macro_realy_delay", "radioex"},
    {"LAYOUT:macro", "chk_macro_fixed_delay", "radioex"},
    {"LAYOUT:macro", "chk_macro_no_delay", "radioex"},
    {"LAYOUT:macro", "chk_macro_record", "checkex"},
    {"LAYOUT:macro", "macro_play_mode", "combobox"},
    {"LAYOUT:macro", "chk_single_record", "checkex"},
    {"LAYOUT:macro", "edit_single_key", "text"},
    {"LAYOUT:macro", "cmb_media_keys", "combobox"},
    {"LAYOUT:macro", "cmb_function_keys", "combobox"},
    {"LAYOUT:macro", "btnOK", "button"},
    {"LAYOUT:macro", "btnDelete", "button"},
    {"LAYOUT:SYS_XML_MSGBOX", "msgtitle", "text"},
    {"LAYOUT:SYS_XML_MSGBOX", "msgicon", "window"},
    {"LAYOUT:SYS_XML_MSGBOX", "msgtext", "text"},
    {"LAYOUT:SYS_XML_MSGBOX", "btnSwitch", "tabctrl"},
    {"LAYOUT:SYS_XML_MSGBOX", "button1st", "button"},
    {"LAYOUT:SYS_XML_MSGBOX", "button2nd", "button"},
    {"LAYOUT:SYS_XML_MSGBOX", "button3rd", "button"},
};

void PrintTo(const NamedControl& c, std::ostream* os) {
    *os << c.layout << " " << c.name;
}

// Builds one row in each list so that the names inside the row templates exist too.
class OneRow : public ui::SMcAdapterBase {
  public:
    int getCount() override { return 1; }
    void getView(int, ui::SWindow* row, const ui::XmlNode& t) override {
        if (row->ChildWindows().empty())
            row->CreateChildren(t);
    }
};

class LayoutNames : public UiTest, public ::testing::WithParamInterface<NamedControl> {};

TEST_P(LayoutNames, ControlHasItsTableIdAndClass) {
    const NamedControl& c = GetParam();
    ui::SHostWnd host(c.layout);
    ASSERT_TRUE(host.Create());
    OneRow rows;
    for (const char* list : {"macro_group", "key_info"}) {
        if (auto* l = host.FindChildByName2<ui::SListView>(list))
            l->SetAdapter(&rows);
    }
    ui::SWindow* w = host.FindChildByName(c.name);
    // Row templates: the names live in the rows the lists built.
    for (const char* list : {"macro_group", "key_info"}) {
        auto* l = host.FindChildByName2<ui::SListView>(list);
        if (!w && l && l->GetRow(0))
            w = l->GetRow(0)->FindChildByName(c.name);
    }
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->GetID(), app_->NamedIds().Find(c.name));
    EXPECT_NE(w->GetID(), 0);
    EXPECT_EQ(w->GetObjectClass(), c.className) << c.name;
    ui::SWindow* scope = w;
    while (scope->parentWidget() && !dynamic_cast<ui::SListRow*>(scope)) {
        scope = dynamic_cast<ui::SWindow*>(scope->parentWidget());
        if (!scope)
            break;
    }
    if (!dynamic_cast<ui::SListRow*>(scope)) {
        EXPECT_EQ(host.FindChildByID(w->GetID()), w) << c.name;
    }
    for (const char* list : {"macro_group", "key_info"}) {
        if (auto* l = host.FindChildByName2<ui::SListView>(list))
            l->SetAdapter(nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Package, LayoutNames, ::testing::ValuesIn(kControls),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(LayoutNamesTable, CoversEveryNamedId) {
    std::set<QString> covered;
    for (const auto& c : kControls)
        covered.insert(c.name);
    for (const auto& e : ui::KeylumeNamedIds()) {
        if (e.name != "_name_start") {
            EXPECT_TRUE(covered.count(e.name)) << e.name.toStdString();
        }
    }
    EXPECT_EQ(covered.size(), 68u);
}

using Layouts = UiTest;

TEST_F(Layouts, MainWindowContentsFitTheStores) {
    ui::SHostWnd host("LAYOUT:XML_MAINWND");
    ASSERT_TRUE(host.Create());
    EXPECT_EQ(host.FindChildByName2<ui::SComboBox>("cbx_color_effect")->GetCount(), 21);
    EXPECT_EQ(host.FindChildByName2<ui::SComboBox>("cbx_side_color_effect")->GetCount(), 12);
    EXPECT_GE(host.FindChildByName2<ui::SComboBox>("cbx_in_lv")->GetCount(), 1);
    EXPECT_EQ(host.FindChildByName2<ui::STabCtrl>("tab_color_effect")->GetItemCount(), 4);
    struct Range {
        const char* name;
        int min, max;
    };
    for (const Range& r :
         {Range{"bar_general_speed_0", 0, 2}, Range{"bar_general_speed_1", 0, 2},
          Range{"bar_general_speed_3", 0, 2}, Range{"bar_const_brightness_0", 0, 5},
          Range{"bar_const_brightness_1", 0, 5}, Range{"bar_const_brightness_2", 0, 5},
          Range{"bar_const_brightness_3", 0, 5}, Range{"bar_side_brightness", 0, 7}}) {
        auto* s = host.FindChildByName2<ui::SSliderBar>(r.name);
        ASSERT_NE(s, nullptr) << r.name;
        EXPECT_EQ(s->GetMin(), r.min) << r.name;
        EXPECT_EQ(s->GetMax(), r.max) << r.name;
    }
    auto* tray = dynamic_cast<ui::SShellNotifyIcon*>([&]() -> ui::SWindow* {
        for (QWidget* w : host.GetRoot()->findChildren<QWidget*>()) {
            auto* s = dynamic_cast<ui::SWindow*>(w);
            if (s && s->IsClass("shellnotifyicon"))
                return s;
        }
        return nullptr;
    }());
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->MenuName(), "SMENU:menu_tray");
    EXPECT_EQ(tray->ToolTipText(), "Keylume keyboard");
    auto* kb = host.FindChildByName2<CoordButtonImage>("img_keyboard");
    ASSERT_NE(kb, nullptr);
    EXPECT_EQ(kb->Keys().size(), 104u);
    EXPECT_EQ(kb->size(), QSize(932, 292));
}

TEST_F(Layouts, MacroEditorContents) {
    ui::SHostWnd host("LAYOUT:macro");
    ASSERT_TRUE(host.Create());
    auto* tabs = host.FindChildByName2<ui::STabCtrl>("tab_macro_mode_selection");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetItemCount(), 4);
    EXPECT_TRUE(tabs->IsClass("tabctrl"));
    EXPECT_EQ(tabs->GetPage(0)->GetObjectClass(), "page2");
    auto* play = host.FindChildByName2<ui::SComboBox>("macro_play_mode");
    ASSERT_NE(play, nullptr);
    std::vector<std::intptr_t> data;
    for (int i = 0; i < play->GetCount(); ++i)
        data.push_back(play->GetItemData(i));
    EXPECT_EQ(data, (std::vector<std::intptr_t>{2, 3, 4, 5, 6, 8}));
    EXPECT_TRUE(host.FindChildByName("chk_macro_record")->IsClass("check"));
    EXPECT_TRUE(host.FindChildByName("chk_macro_realy_delay")->IsClass("radio"));
    EXPECT_TRUE(host.FindChildByName("chk_macro_realy_delay")->IsClass("button"));
    EXPECT_FALSE(host.FindChildByName("chk_macro_realy_delay")->IsClass("check"));
}

struct BrokenLayout {
    const char* label;
    QByteArray xml;
    bool created;
    std::vector<const char*> present;
};

void PrintTo(const BrokenLayout& c, std::ostream* os) {
    *os << c.label;
}

class BrokenLayouts : public UiTest, public ::testing::WithParamInterface<BrokenLayout> {};

TEST_P(BrokenLayouts, LoadWhatTheyCan) {
    const BrokenLayout& c = GetParam();
    EXPECT_FALSE(app_->AddResProvider(TempPackage({{"LAYOUT", "t", c.xml}}), "uidef:none"));
    ui::SHostWnd host("LAYOUT:t");
    EXPECT_EQ(host.Create(), c.created);
    ASSERT_NE(host.GetRoot(), nullptr);
    for (const char* name : c.present)
        EXPECT_NE(host.FindChildByName(name), nullptr) << name;
    host.SendMessage(ui::msg::kSetLanguage);
    host.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(
    Loader, BrokenLayouts,
    ::testing::Values(
        BrokenLayout{"UnknownTags",
                     "<layout><root><blink name='x'><text name='lost'/></blink>"
                     "<text name='kept'/><button name='b' pos='1,2'/></root></layout>",
                     true,
                     {"kept", "b"}},
        BrokenLayout{"BrokenXml", "<layout><root><text name='a'></root>", false, {}},
        BrokenLayout{"NotXml", "\xff\xfe garbage", false, {}},
        BrokenLayout{"MissingPictures",
                     "<layout><root skin='main:none_png'><cbimg name='kb' bg='main:none_png' "
                     "crdxml='nowhere.xml' type='x'/><imgbtn name='i' skin='nothing'/></root>"
                     "</layout>",
                     true,
                     {"kb", "i"}},
        BrokenLayout{"BadAttributes",
                     "<layout width='-5' height='huge'><root><combobox name='c' curSel='99'>"
                     "<item text='a'/></combobox><sliderbar name='s' min='9' max='1' value='x'/>"
                     "<tabctrl name='t' curSel='-3'/><text name='p' pos='a,b,c,d' "
                     "colorText='notacolor' fontSize='99999'/></root></layout>",
                     true,
                     {"c", "s", "t", "p"}},
        BrokenLayout{"DeepNesting",
                     QByteArray("<layout><root>") + QByteArray("<window>").repeated(60) +
                         QByteArray("</window>").repeated(60) +
                         "<text name='after'/></root></layout>",
                     true,
                     {"after"}},
        BrokenLayout{"TooDeepForTheParser",
                     QByteArray("<layout><root>") + QByteArray("<window>").repeated(200) +
                         QByteArray("</window>").repeated(200) + "</root></layout>",
                     false,
                     {}}),
    [](const auto& p) { return std::string(p.param.label); });

TEST_F(Layouts, MissingLayoutGivesAnEmptyWindow) {
    ui::SHostWnd host("LAYOUT:does_not_exist");
    EXPECT_FALSE(host.Create());
    EXPECT_EQ(host.FindChildByName("title"), nullptr);
    EXPECT_EQ(host.FindChildByID(65536), nullptr);
}

TEST_F(Layouts, RegistryChainsAndRefusesUnknownBases) {
    auto& reg = app_->Registry();
    EXPECT_EQ(reg.Chain("checkex"), (QStringList{"checkex", "check", "button", "window"}));
    EXPECT_EQ(reg.Chain("cbimg"), (QStringList{"cbimg", "window"}));
    EXPECT_FALSE(reg.Register("orphan", "nosuchbase",
                              [](QWidget* p) -> ui::SWindow* { return new ui::SWindow(p); }));
    EXPECT_FALSE(reg.Has("orphan"));
    for (const char* tag : {"shellnotifyicon", "cbimg", "page2", "tabctrl2", "anmimg", "editex",
                            "radioex", "checkex"}) {
        EXPECT_TRUE(reg.Has(tag)) << tag;
    }
}

}  // namespace
}  // namespace keylume::test
