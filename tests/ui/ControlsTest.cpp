// Control behaviour the windows rely on: selections, ranges, pages, edits, radios, lists, tray.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSlider>
#include <QSystemTrayIcon>
#include <set>

#include "UiTestSupport.h"
#include "ui/AnimImg.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/ListView.h"
#include "ui/ShellNotifyIcon.h"
#include "ui/TabCtrl.h"

namespace keylume::test {
namespace {

// A host over an inline layout that records every control event it receives.
class Recorder : public ui::SHostWnd {
  public:
    using ui::SHostWnd::SHostWnd;
    bool OnControlEvent(ui::EventArgs& e) override {
        events.push_back(e);
        return false;
    }
    std::vector<ui::EventArgs> events;
};

class Controls : public UiTest {
  protected:
    void Build(const QByteArray& rootXml) {
        app_->AddResProvider(TempPackage({{"LAYOUT", "t",
                                           "<layout width='600' height='400'><root>" + rootXml +
                                               "</root></layout>"}}),
                             "uidef:none");
        host_ = std::make_unique<Recorder>("LAYOUT:t");
        ASSERT_TRUE(host_->Create());
    }
    template <class T>
    T* Find(const char* name) {
        auto* w = host_->FindChildByName2<T>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    int Count(ui::EventType type) const {
        return static_cast<int>(std::count_if(host_->events.begin(), host_->events.end(),
                                              [&](const auto& e) { return e.type == type; }));
    }
    std::unique_ptr<Recorder> host_;
};

TEST_F(Controls, ComboboxRaisesSelectionChangeOnlyOnRealChange) {
    Build(
        "<combobox name='c' curSel='1'><item text='a' data='10'/><item text='b' data='20'/>"
        "<item text='c' data='30'/></combobox>");
    auto* c = Find<ui::SComboBox>("c");
    EXPECT_EQ(c->GetCurSel(), 1);
    EXPECT_EQ(c->GetItemData(2), 30);
    EXPECT_EQ(c->GetItemData(7), 0);
    struct Step {
        int select;
        bool changes;
    };
    for (Step s : {Step{1, false}, Step{3, false}, Step{-2, false}, Step{2, true}, Step{2, false},
                   Step{0, true}, Step{-1, true}}) {
        host_->events.clear();
        int before = c->GetCurSel();
        EXPECT_EQ(c->SetCurSel(s.select), s.changes) << s.select;
        ASSERT_EQ(Count(ui::EventType::SelChanged), s.changes ? 1 : 0) << s.select;
        if (s.changes) {
            EXPECT_EQ(host_->events[0].value, s.select);
            EXPECT_EQ(host_->events[0].oldValue, before);
            EXPECT_EQ(host_->events[0].name, "c");
        }
    }
    host_->events.clear();
    c->Widget()->setCurrentIndex(1);  // the user picks an item
    EXPECT_EQ(Count(ui::EventType::SelChanged), 1);
    EXPECT_EQ(c->GetCurSel(), 1);
    c->InsertItem(0, "first", 5);
    EXPECT_EQ(c->GetCurSel(), 2) << "the selected item stays selected";
    EXPECT_EQ(c->GetLBText(0), "first");
}

TEST_F(Controls, SubscriberThatHandlesStopsTheEventReachingTheHost) {
    Build("<combobox name='c'><item text='a'/><item text='b'/></combobox>");
    auto* c = Find<ui::SComboBox>("c");
    int seen = 0;
    c->Subscribe(ui::EventType::SelChanged, [&](ui::EventArgs& e) {
        ++seen;
        return e.value == 1;
    });
    c->SetCurSel(0);
    c->SetCurSel(1);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(Count(ui::EventType::SelChanged), 1) << "only the unhandled one reaches the host";
}

TEST_F(Controls, SliderShowsOutOfRangeValuesAtTheNearestEnd) {
    Build("<sliderbar name='s' min='0' max='5' value='3'/>");
    auto* s = Find<ui::SSliderBar>("s");
    struct Case {
        int set, shown;
    };
    for (Case c : {Case{3, 3}, Case{13, 5}, Case{-4, 0}, Case{5, 5}, Case{0, 0}}) {
        s->SetValue(c.set);
        EXPECT_EQ(s->GetValue(), c.shown) << c.set;
    }
    EXPECT_EQ(Count(ui::EventType::SliderPos), 0) << "the program's settings raise nothing";
    s->MoveByUser(4);
    s->Widget()->triggerAction(QSlider::SliderSingleStepAdd);
    ASSERT_EQ(Count(ui::EventType::SliderPos), 2);
    EXPECT_EQ(host_->events.back().value, 5);
    s->SetRange(2, 1);
    EXPECT_EQ(s->GetMin(), 2);
    EXPECT_EQ(s->GetMax(), 2);
}

TEST_F(Controls, TabPageChangeEventAndVisiblePage) {
    Build(
        "<tabctrl name='t' curSel='1'><page title='a'><text name='ta'/></page>"
        "<page title='b'/><text name='notapage'/><page title='c'/></tabctrl>");
    auto* t = Find<ui::STabCtrl>("t");
    host_->show();
    EXPECT_EQ(t->GetItemCount(), 3);
    EXPECT_EQ(t->GetCurSel(), 1);
    EXPECT_FALSE(t->SetCurSel(1));
    EXPECT_FALSE(t->SetCurSel(3));
    EXPECT_EQ(Count(ui::EventType::TabSelChanged), 0);
    EXPECT_TRUE(t->SetCurSel(0));
    ASSERT_EQ(Count(ui::EventType::TabSelChanged), 1);
    EXPECT_EQ(host_->events[0].value, 0);
    EXPECT_EQ(host_->events[0].oldValue, 1);
    EXPECT_TRUE(t->GetPage(0)->isVisible());
    EXPECT_FALSE(t->GetPage(1)->isVisible());
    EXPECT_TRUE(Find<ui::SWindow>("ta")->isVisible());
}

TEST_F(Controls, EditRaisesTextChangeWithItsCodeAndKeepsUserData) {
    Build("<edit name='e'/><editex name='x' data='7'/>");
    auto* e = Find<ui::SEdit>("e");
    e->SetUserData(42);
    e->SetWindowText("12");
    e->Widget()->insert("3");  // typed
    ASSERT_EQ(Count(ui::EventType::TextNotify), 2);
    for (const auto& ev : host_->events) {
        EXPECT_EQ(ev.code, ui::kEnChange);
        EXPECT_EQ(ev.sender->GetUserData(), 42);
    }
    EXPECT_EQ(e->GetWindowText(), "123");
    EXPECT_EQ(Find<ui::SEdit>("x")->GetUserData(), 7);
    EXPECT_TRUE(Find<ui::SEdit>("x")->IsClass("edit"));
}

TEST_F(Controls, RadiosExcludeTheirSiblingsAndChecksToggle) {
    Build(
        "<window name='g'><radio name='a'/><radio name='b'/><radioex name='c'/></window>"
        "<radio name='other' check='1'/><check name='k'/>");
    auto* a = Find<ui::SRadioBox>("a");
    auto* b = Find<ui::SRadioBox>("b");
    auto* c = Find<ui::SRadioBox>("c");
    a->Click();
    b->Click();
    EXPECT_FALSE(a->IsChecked());
    EXPECT_TRUE(b->IsChecked());
    c->Click();
    c->Click();
    EXPECT_FALSE(b->IsChecked());
    EXPECT_TRUE(c->IsChecked());
    EXPECT_TRUE(Find<ui::SWindow>("other")->IsChecked()) << "another parent is another group";
    EXPECT_EQ(Count(ui::EventType::Command), 4) << "a click on a checked radio still reports";
    auto* k = Find<ui::SCheckBox>("k");
    k->Click();
    EXPECT_TRUE(k->IsChecked());
    k->Click();
    EXPECT_FALSE(k->IsChecked());
}

// Rows named after a list of strings; the row and its edit carry the position as user data.
class NamesAdapter : public ui::SMcAdapterBase {
  public:
    std::vector<QString> names;
    int views = 0;
    int getCount() override { return static_cast<int>(names.size()); }
    void getView(int position, ui::SWindow* row, const ui::XmlNode& t) override {
        ++views;
        if (row->ChildWindows().empty())
            row->CreateChildren(t);
        row->SetUserData(position);
        if (auto* e = row->FindChildByName2<ui::SEdit>("field")) {
            e->SetUserData(position);
            e->SetWindowText(names[static_cast<size_t>(position)]);
        }
    }
    bool OnSort(int column, int* flags, int count) override {
        if (column == 2)
            return false;
        int next = flags[column] == ui::kSortAscending ? ui::kSortDescending : ui::kSortAscending;
        for (int i = 0; i < count; ++i)
            flags[i] = ui::kSortNone;
        flags[column] = next;
        return true;
    }
};

TEST_F(Controls, AdapterRowsAreRefilledOnNotifyAndKeepTheirData) {
    Build(
        "<mclistview name='l'><header><item text='A' width='100'/><item text='B' width='100'/>"
        "<item text='C' width='50'/></header><template itemHeight='30'>"
        "<window name='col1'><edit name='field'/></window><window name='col2'/>"
        "</template></mclistview>");
    auto* list = Find<ui::SMcListView>("l");
    NamesAdapter adapter;
    adapter.names = {"one", "two", "three"};
    list->SetAdapter(&adapter);
    ASSERT_EQ(list->RowCount(), 3);
    ui::SWindow* firstRow = list->GetRow(0);
    EXPECT_EQ(list->GetRow(2)->FindChildByName2<ui::SEdit>("field")->GetWindowText(), "three");
    EXPECT_EQ(list->GetRow(1)->GetObjectClass(), "window");
    host_->show();
    ui::SWindow* col2 = list->GetRow(0)->FindChildByName("col2");
    EXPECT_EQ(col2->geometry(), QRect(100, 0, 100, 30)) << "columns sit under their header";

    adapter.names = {"uno", "dos"};
    adapter.notifyDataSetChanged();
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->GetRow(0), firstRow) << "rows are reused, not rebuilt";
    EXPECT_EQ(firstRow->ChildWindows().size(), 2u) << "children are built once";
    auto* field = list->GetRow(1)->FindChildByName2<ui::SEdit>("field");
    EXPECT_EQ(field->GetWindowText(), "dos");
    EXPECT_EQ(field->GetUserData(), 1);
    EXPECT_EQ(list->GetRow(1)->GetUserData(), 1);

    host_->events.clear();
    list->ClickRow(1);
    EXPECT_EQ(list->GetSel(), 1);
    ASSERT_EQ(Count(ui::EventType::Command), 1);
    EXPECT_EQ(host_->events[0].sender, list->GetRow(1));
    adapter.names.clear();
    adapter.notifyDataSetChanged();
    EXPECT_EQ(list->GetSel(), -1);
    EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(Controls, HeaderClicksCycleOnlyTheSortArrows) {
    Build(
        "<mclistview name='l'><header><item text='A'/><item text='B'/><item text='C'/></header>"
        "<template/></mclistview>");
    auto* list = Find<ui::SMcListView>("l");
    NamesAdapter adapter;
    adapter.names = {"b", "a"};
    list->SetAdapter(&adapter);
    list->ClickHeader(0);
    EXPECT_EQ(list->SortFlagOf(0), ui::kSortAscending);
    list->ClickHeader(0);
    EXPECT_EQ(list->SortFlagOf(0), ui::kSortDescending);
    list->ClickHeader(1);
    EXPECT_EQ(list->SortFlagOf(0), ui::kSortNone);
    EXPECT_EQ(list->SortFlagOf(1), ui::kSortAscending);
    list->ClickHeader(2);
    EXPECT_EQ(list->SortFlagOf(1), ui::kSortAscending) << "OnSort said no";
    list->ClickHeader(9);
    EXPECT_EQ(adapter.names, (std::vector<QString>{"b", "a"}));
}

TEST_F(Controls, AdapterDestroyedBeforeTheListDetachesItself) {
    Build("<listview name='l'><template><text name='t'/></template></listview>");
    auto* list = Find<ui::SListView>("l");
    {
        NamesAdapter adapter;
        adapter.names = {"x"};
        list->SetAdapter(&adapter);
        EXPECT_EQ(list->RowCount(), 1);
    }
    EXPECT_EQ(list->GetAdapter(), nullptr);
    EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(Controls, TrayTipIsTranslatedAndCutAndLeftClickTogglesTheWindow) {
    QByteArray tip(200, 'x');
    Build("<shellnotifyicon name='tray' tip='" + tip + "' menu='SMENU:menu_tray'/>");
    auto* tray = Find<ui::SShellNotifyIcon>("tray");
    EXPECT_EQ(tray->ToolTipText().size(), ui::SShellNotifyIcon::kMaxTipLength);
    EXPECT_FALSE(tray->isVisible());
    ASSERT_NE(tray->Tray(), nullptr);
    EXPECT_FALSE(tray->Tray()->icon().isNull()) << "falls back to the program icon";
    EXPECT_FALSE(host_->isVisible());
    tray->OnLeftClick();
    EXPECT_TRUE(host_->isVisible());
    tray->OnLeftClick();
    EXPECT_FALSE(host_->isVisible());
}

TEST_F(Controls, AnimatedImageStepsThroughItsSkinStates) {
    Build("<anmimg name='a' pos='0,0,24,24' skin='skin.more' speed='10'/>");
    auto* a = Find<ui::SAnimImg>("a");
    host_->show();
    QElapsedTimer clock;
    clock.start();
    std::set<int> frames;
    while (frames.size() < 4 && clock.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        frames.insert(a->Frame());
    }
    EXPECT_EQ(frames, (std::set<int>{0, 1, 2, 3})) << "four states, then round again";
    host_->hide();
    int stopped = a->Frame();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(a->Frame(), stopped) << "a hidden animation does not run";
}

}  // namespace
}  // namespace keylume::test
