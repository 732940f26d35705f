// Renders the main window, the macro editor, a message box and the "more" menu from the resource
// package, in English and in Chinese, and saves them as PNG files:
//   keylume_screenshot <program-dir> <out-dir> [suffix]
// Run with QT_QPA_PLATFORM=offscreen (and QT_SCALE_FACTOR=2 for the 200% pictures).
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTimer>
#include <cstdio>

#include "mainwnd/CoordButtonImage.h"
#include "ui/Buttons.h"
#include "ui/HostWnd.h"
#include "ui/InputControls.h"
#include "ui/ListView.h"
#include "ui/Menu.h"
#include "ui/MessageBox.h"
#include "ui/SApplication.h"
#include "ui/TabCtrl.h"

namespace {

using namespace keylume;

bool g_ok = true;

void Save(QWidget* w, const QString& path) {
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", qPrintable(path));
        g_ok = false;
    } else {
        std::printf("%s\n", qPrintable(path));
    }
}

// Sample rows so that the lists show what they look like in use.
class SampleGroups : public ui::SAdapterBase {
  public:
    int getCount() override { return 3; }
    void getView(int position, ui::SWindow* row, const ui::XmlNode& t) override {
        if (row->ChildWindows().empty())
            row->CreateChildren(t);
        const char* names[] = {"Combo burst", "Build order", "Chat macro"};
        if (auto* e = row->FindChildByName("group_name"))
            e->SetWindowText(names[position]);
    }
};

class SampleKeys : public ui::SMcAdapterBase {
  public:
    int getCount() override { return 6; }
    void getView(int position, ui::SWindow* row, const ui::XmlNode& t) override {
        if (row->ChildWindows().empty())
            row->CreateChildren(t);
        struct Item {
            const char *code, *name;
            bool down;
            int delay;
        };
        const Item items[] = {{"700e0", "Left Control", true, 12},
                              {"70006", "C", true, 30},
                              {"70006", "C", false, 25},
                              {"700e0", "Left Control", false, 40},
                              {"70004", "A", true, 18},
                              {"70004", "A", false, 0}};
        const Item& it = items[position];
        row->FindChildByName("key_code")->SetWindowText(it.code);
        row->FindChildByName("key_name")->SetWindowText(it.name);
        row->FindChildByName("key_state")->SetWindowText(it.down ? "key down" : "replace");
        row->FindChildByName("key_delay")->SetWindowText(QString::number(it.delay));
    }
};

void MainWindow(const QString& out) {
    ui::SHostWnd main("LAYOUT:XML_MAINWND");
    main.Create();
    if (auto* c = main.FindChildByName2<ui::SComboBox>("cbx_color_effect"))
        c->SetCurSel(4);
    if (auto* t = main.FindChildByName2<ui::STabCtrl>("tab_color_effect"))
        t->SetCurSel(1);
    if (auto* s = main.FindChildByName2<ui::SSliderBar>("bar_general_speed_1"))
        s->SetValue(1);
    if (auto* s = main.FindChildByName2<ui::SSliderBar>("bar_const_brightness_1"))
        s->SetValue(4);
    if (auto* c = main.FindChildByName2<ui::SComboBox>("cbx_side_color_effect"))
        c->SetCurSel(1);
    if (auto* s = main.FindChildByName2<ui::SSliderBar>("bar_side_brightness"))
        s->SetValue(5);
    if (auto* v = main.FindChildByName("version")) {
        v->SetWindowText(ui::TrText("Firmware") + ": v1.5");
    }
    if (auto* kb = main.FindChildByName2<CoordButtonImage>("img_keyboard")) {
        for (int id : {0x1A, 0x04, 0x16, 0x07, 0x3A})
            kb->SetKeyChecked(id, true);
        CoordKey q;
        if (kb->GetKeyInfo(0x14, &q))
            kb->MoveTo(q.left + 4, q.top + 4);
    }
    main.show();
    Save(&main, out);
}

void MacroEditor(const QString& out) {
    ui::SHostDialog dlg("LAYOUT:macro");
    dlg.Create();
    SampleGroups groups;
    SampleKeys keys;
    if (auto* l = dlg.FindChildByName2<ui::SListView>("macro_group")) {
        l->SetAdapter(&groups);
        l->SetSel(0);
    }
    if (auto* l = dlg.FindChildByName2<ui::SMcListView>("key_info")) {
        l->SetAdapter(&keys);
        l->SetSel(1);
        l->ClickHeader(3);
    }
    if (auto* t = dlg.FindChildByName("text_recording_keys"))
        t->SetWindowText("Q");
    if (auto* r = dlg.FindChildByName("chk_macro_fixed_delay"))
        r->SetCheck(true);
    if (auto* e = dlg.FindChildByName("edit_macro_delay_time"))
        e->SetWindowText("30");
    if (auto* e = dlg.FindChildByName("edit_macro_repeat_times"))
        e->SetWindowText("1");
    if (auto* c = dlg.FindChildByName2<ui::SComboBox>("macro_play_mode"))
        c->SetCurSel(0);
    dlg.show();
    Save(&dlg, out);
    dlg.FindChildByName2<ui::SListView>("macro_group")->SetAdapter(nullptr);
    dlg.FindChildByName2<ui::SListView>("key_info")->SetAdapter(nullptr);
}

void MessageBoxShot(const QString& out) {
    QTimer::singleShot(50, [out] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            Save(box, out);
            box->close();
        }
    });
    ui::SMessageBox(nullptr, "All settings will be restored, are you sure you want to continue?",
                    "Warning", ui::kMbYesNo | ui::kMbIconWarning);
}

void MenuShot(const QString& out) {
    ui::SHostWnd owner("LAYOUT:XML_MAINWND");
    owner.Create();
    QTimer::singleShot(50, [out] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            Save(menu, out);
            menu->close();
        }
    });
    ui::TrackMenu("smenuex:menu_more", QPoint(20, 20), &owner);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QStringList args = qt.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: keylume_screenshot <program-dir> <out-dir> [suffix]\n");
        return 2;
    }
    QString out = args[2], suffix = args.size() > 3 ? args[3] : QString();
    QDir().mkpath(out);
    ui::SApplication app;
    app.SetProgramFolder(args[1]);
    app.InitNamedIds(ui::KeylumeNamedIds());
    auto files = std::make_shared<ui::SResProviderFiles>();
    if (!files->Init(args[1] + "/uires")) {
        std::fprintf(stderr, "screenshot: no resource package in %s/uires\n", qPrintable(args[1]));
        return 1;
    }
    app.AddResProvider(files);
    auto sys = std::make_shared<ui::SResProviderFiles>();
    sys->Init(ui::SApplication::SystemResourceFolder());
    app.LoadSystemResources(sys);
    ui::RegisterExtensionControls(app.Registry());
    RegisterCoordButtonImage(app.Registry());
    app.ApplyTheme();
    for (QString lang : {"lang_en", "lang_cn"}) {
        app.LoadLanguage(lang);
        QString tag = lang.mid(5) + suffix;
        MainWindow(out + "/main_" + tag + ".png");
        MacroEditor(out + "/macro_" + tag + ".png");
        MessageBoxShot(out + "/msgbox_" + tag + ".png");
        MenuShot(out + "/menu_" + tag + ".png");
    }
    return g_ok ? 0 : 1;
}
