// Host windows, dialogs, message boxes and menus.
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QWidgetAction>

#include "UiTestSupport.h"
#include "ui/Buttons.h"
#include "ui/Menu.h"
#include "ui/MessageBox.h"
#include "ui/ShellNotifyIcon.h"

namespace keylume::test {
namespace {

// Records window messages and control events.
class Probe : public ui::SHostDialog {
  public:
    using ui::SHostDialog::SHostDialog;
    std::vector<std::pair<unsigned, std::uintptr_t>> messages;
    std::vector<QString> events;
    std::thread::id handledOn;

  protected:
    bool HandleMessage(unsigned m, std::uintptr_t w, std::intptr_t, std::intptr_t&) override {
        messages.emplace_back(m, w);
        if (m == ui::msg::kUser + 1)
            handledOn = std::this_thread::get_id();
        return false;
    }
    bool OnControlEvent(ui::EventArgs& e) override {
        events.push_back(e.name);
        if (e.name == "btnOK")
            EndDialog(ui::kIdOk);
        if (e.name == "btnDelete")
            EndDialog(e.id);
        return true;
    }
};

// Runs `action` on the modal loop that is about to start.
void Soon(std::function<void()> action) {
    QTimer::singleShot(0, std::move(action));
}

using Hosts = UiTest;

TEST_F(Hosts, DialogEndsWithTheCodeItsButtonsGive) {
    struct Case {
        const char* button;
        int result;
    };
    for (Case c : {Case{"btnOK", ui::kIdOk}, Case{"btnDelete", 65596}}) {
        Probe dlg("LAYOUT:macro");
        Soon([&] { dlg.FindChildByName2<ui::SButton>(c.button)->Click(); });
        EXPECT_EQ(dlg.DoModal(), c.result) << c.button;
        ASSERT_FALSE(dlg.messages.empty());
        EXPECT_EQ(dlg.messages.front().first, ui::msg::kInitDialog);
    }
    Probe closed("LAYOUT:macro");
    Soon([&] { closed.close(); });
    EXPECT_EQ(closed.DoModal(), ui::kIdCancel);
}

TEST_F(Hosts, DestroyingTheMainWindowEndsTheLoopWithCodeOne) {
    ui::SHostWnd main("LAYOUT:XML_MAINWND");
    ASSERT_TRUE(main.Create());
    app_->SetMainWindow(&main);
    main.DestroyWindow();  // before the loop starts, as when no keyboard is found
    EXPECT_FALSE(main.IsWindow());
    EXPECT_EQ(app_->Run(&main), 1);
}

TEST_F(Hosts, CloseRequestDestroysATopLevelWindow) {
    ui::SHostWnd main("LAYOUT:XML_MAINWND");
    ASSERT_TRUE(main.Create());
    main.SendMessage(ui::msg::kClose);
    EXPECT_FALSE(main.IsWindow());
    EXPECT_EQ(main.GetRoot(), nullptr);
}

TEST_F(Hosts, MessageBoxFromTheTemplateReturnsTheChosenButton) {
    struct Case {
        unsigned type;
        const char* click;
        int expected;
    };
    for (Case c : {Case{ui::kMbOk, "button1st", ui::kIdOk},
                   Case{ui::kMbYesNo | ui::kMbIconQuestion, "button2nd", ui::kIdNo},
                   Case{ui::kMbYesNoCancel, "button3rd", ui::kIdCancel},
                   Case{ui::kMbOkCancel, "btn_close", ui::kIdCancel}}) {
        QString seenText, seenButton;
        Soon([&] {
            auto* box = dynamic_cast<ui::SHostWnd*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seenText = box->FindChildByName("msgtext")->DisplayText();
            auto* sw = box->FindChildByName("btnSwitch");
            ui::SWindow* page = nullptr;
            for (auto* p : sw->ChildWindows()) {
                if (p->isVisibleTo(sw))
                    page = p;
            }
            ui::SWindow* b = c.click == QString("btn_close") ? box->FindChildByName("btn_close")
                                                             : page->FindChildByName(c.click);
            ASSERT_NE(b, nullptr) << c.click;
            seenButton = b->DisplayText();
            dynamic_cast<ui::SButton*>(b)->Click();
        });
        EXPECT_EQ(ui::SMessageBox(nullptr, "Please insert USB device!", "Warning", c.type),
                  c.expected)
            << c.click;
        EXPECT_EQ(seenText, "Please insert USB device!");
    }
    // Texts go through the translator.
    ASSERT_TRUE(app_->LoadLanguage("lang_cn"));
    QString title;
    Soon([&] {
        auto* box = dynamic_cast<ui::SHostWnd*>(QApplication::activeModalWidget());
        title = box->FindChildByName("msgtitle")->DisplayText();
        box->close();
    });
    EXPECT_EQ(ui::SMessageBox(nullptr, "Please insert USB device!", "Warning", ui::kMbOk),
              ui::kIdOk)
        << "closing a box with OK alone answers OK";
    EXPECT_EQ(title, QString::fromUtf8("警告"));
}

TEST_F(Hosts, ScriptAnswersMessageBoxesAndEveryAnswerIsTraced) {
    std::vector<QString> lines;
    ui::SetMessageBoxTraceHook([&](const QString& l) { lines.push_back(l); });
    ui::SetMessageBoxAnswerHook(
        [](const QString& caption, const QString&, unsigned) -> std::optional<int> {
            if (caption == "Warning")
                return ui::kIdYes;
            return std::nullopt;
        });
    EXPECT_EQ(
        ui::SMessageBox(nullptr, "All settings will be \"restored\"", "Warning", ui::kMbYesNo),
        ui::kIdYes);
    Soon([] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(ui::SMessageBox(nullptr, "Two\nlines", "Other", ui::kMbOkCancel), ui::kIdCancel);
    ui::SetMessageBoxAnswerHook(nullptr);
    ui::SetMessageBoxTraceHook(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], R"(msgbox "Warning" "All settings will be \"restored\"" -> yes)");
    EXPECT_EQ(lines[1], R"(msgbox "Other" "Two\nlines" -> cancel)");
}

// Picks from the menu that is about to open: an action by ID or name, or a control by name.
void PickFromMenu(std::function<void(QMenu*)> pick) {
    Soon([pick] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            ADD_FAILURE() << "no menu open";
            return;
        }
        pick(menu);
    });
}

// Chooses the entry with `id` (or `name`) the way the keyboard does: make it active, press Return.
void Choose(QMenu* menu, const QVariant& id, const QString& name = {}) {
    for (QAction* a : menu->actions()) {
        if ((!name.isEmpty() && a->objectName() == name) || (id.isValid() && a->data() == id)) {
            menu->setActiveAction(a);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(menu, &enter);
            return;
        }
    }
    ADD_FAILURE() << "no such entry";
    menu->close();
}

TEST_F(Hosts, MenusSendCommandIdsAndNamedEvents) {
    Probe owner("LAYOUT:XML_MAINWND");
    ASSERT_TRUE(owner.Create());
    auto commands = [&] {
        std::vector<std::uintptr_t> ids;
        for (const auto& m : owner.messages) {
            if (m.first == ui::msg::kCommand)
                ids.push_back(m.second);
        }
        return ids;
    };
    PickFromMenu([](QMenu* m) { Choose(m, 1); });
    EXPECT_TRUE(ui::TrackMenu("smenuex:menu_more", QPoint(10, 10), &owner));
    PickFromMenu([](QMenu* m) { Choose(m, 6); });
    EXPECT_TRUE(ui::TrackMenu("SMENU:menu_tray", QPoint(10, 10), &owner));
    EXPECT_EQ(commands(), (std::vector<std::uintptr_t>{1, 6}));

    PickFromMenu([](QMenu* m) { Choose(m, {}, "btn_restore_factory"); });
    EXPECT_TRUE(ui::TrackMenu("smenuex:menu_more", QPoint(10, 10), &owner));
    PickFromMenu([](QMenu* m) {
        for (QAction* a : m->actions()) {
            if (auto* wa = qobject_cast<QWidgetAction*>(a)) {
                dynamic_cast<ui::SButton*>(wa->defaultWidget()->findChild<QWidget*>("zh_cn"))
                    ->Click();
            }
        }
    });
    EXPECT_TRUE(ui::TrackMenu("smenuex:menu_more", QPoint(10, 10), &owner));
    EXPECT_EQ(owner.events, (std::vector<QString>{"btn_restore_factory", "zh_cn"}));
    EXPECT_EQ(commands().size(), 2u) << "named entries send no command message";

    PickFromMenu([](QMenu* m) { m->close(); });
    EXPECT_TRUE(ui::TrackMenu("smenuex:menu_more", QPoint(10, 10), &owner));
    EXPECT_EQ(commands().size(), 2u) << "dismissing sends nothing";
    EXPECT_FALSE(ui::TrackMenu("smenuex:menu_none", QPoint(10, 10), &owner));
}

TEST_F(Hosts, TrayMenuShowsTheWindowItselfAndPassesOtherCommandsOn) {
    Probe owner("LAYOUT:XML_MAINWND");
    ASSERT_TRUE(owner.Create());
    ui::SShellNotifyIcon* tray = nullptr;
    for (QWidget* w : owner.GetRoot()->findChildren<QWidget*>()) {
        if (!tray)
            tray = dynamic_cast<ui::SShellNotifyIcon*>(w);
    }
    ASSERT_NE(tray, nullptr);
    PickFromMenu([](QMenu* m) { Choose(m, ui::SShellNotifyIcon::kShowCommand); });
    tray->OnRightClick(QPoint(5, 5));
    EXPECT_TRUE(owner.isVisible());
    PickFromMenu([](QMenu* m) { Choose(m, 6); });
    tray->OnRightClick(QPoint(5, 5));
    std::vector<std::uintptr_t> ids;
    for (const auto& m : owner.messages) {
        if (m.first == ui::msg::kCommand)
            ids.push_back(m.second);
    }
    EXPECT_EQ(ids, (std::vector<std::uintptr_t>{6}));
}

}  // namespace
}  // namespace keylume::test

namespace keylume::ui {
namespace {

// At 200% on a 1920x1080 screen the free area is about 960x510 logical pixels, smaller than the
// main window: its title and buttons must still be on the screen, never above or left of it.
TEST(HostPlacement, CentresAndKeepsTheTopLeftCornerOnTheScreen) {
    struct Case {
        QRect area;
        QSize size;
        QPoint at;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1040}, {1000, 660}, {459, 189}},    // fits: centred
        {{0, 0, 960, 510}, {1000, 660}, {0, 0}},          // larger both ways: top left kept
        {{0, 0, 960, 800}, {1000, 660}, {0, 69}},         // wider only: left kept, centred down
        {{1920, 30, 960, 510}, {1000, 660}, {1920, 30}},  // a second screen, a panel on top
        {{0, 0, 1000, 660}, {1000, 660}, {0, 0}},         // exactly the size
    };
    for (const auto& c : cases)
        EXPECT_EQ(SHostWnd::CenteredInside(c.area, c.size), c.at)
            << c.area.x() << "," << c.area.y() << " " << c.area.width() << "x" << c.area.height();
}

}  // namespace
}  // namespace keylume::ui
