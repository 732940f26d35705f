#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "app/SimulatedPlatform.h"
#include "core/drivers/FilterChannel.h"
#include "macrodlg/MacroRecordDlg.h"
#include "platform/Trace.h"
#include "support/Eventually.h"
#include "support/QtEnvironment.h"
#include "ui/Buttons.h"
#include "ui/ControlRegistry.h"
#include "ui/InputControls.h"
#include "ui/ListView.h"
#include "ui/MessageBox.h"
#include "ui/NamedIds.h"
#include "ui/ResProvider.h"
#include "ui/SApplication.h"
#include "ui/TabCtrl.h"

namespace fs = std::filesystem;

namespace keylume {
namespace {

using QtEnvironment = keylume::testing::QtEnvironment;
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The editor over the package beside the program, a macro library in a folder of the test's own
// and the built-in filter.
class MacroRecordDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        data_ = temp_.path().toStdString();
        app_ = std::make_unique<ui::SApplication>();
        app_->SetProgramFolder(KEYLUME_PROGRAM_DIR);
        app_->InitNamedIds(ui::KeylumeNamedIds());
        auto files = std::make_shared<ui::SResProviderFiles>();
        ASSERT_TRUE(files->Init(KEYLUME_PROGRAM_DIR "/uires"));
        app_->AddResProvider(files);
        app_->LoadLanguage("lang_en");
        ui::RegisterExtensionControls(app_->Registry());
        config_.funkeys = {{L"Mute", 0xC00E2, {}, {}}, {L"Calculator", 0xC0192, {}, {}}};
        config_.combkeys = {{L"Copy", {{458976, 0}, {458758, 20}}}};
        channel_.Open();
        channel_.StartListening();
    }

    void TearDown() override {
        dialog_.reset();
        channel_.StopListening();
        app_.reset();
    }

    void Library(const std::string& config, const std::string& groups) {
        std::ofstream(data_ / "macro.xml") << "<?xml version=\"1.0\"?>\n<config " << config
                                           << "/>\n<macro>" << groups << "</macro>\n";
        ASSERT_TRUE(store_.Load(data_ / "macro.xml"));
    }

    void Open() {
        dialog_ = std::make_unique<MacroRecordDlg>(store_, channel_, &keys_, config_,
                                                   [this] { return now_; });
        dialog_->SendMessage(ui::msg::kInitDialog);
    }

    template <class T>
    T* Find(const char* name) {
        return dialog_->FindChildByName2<T>(name);
    }
    void Click(const char* name) { Find<ui::SButton>(name)->Click(); }
    void Record(std::uint32_t usage, bool pressed, std::int64_t at) {
        now_ = at;
        dialog_->SendMessage(MacroRecordDlg::kRecordKeyMessage, usage, pressed ? 1 : 0);
    }
    std::vector<MacroItem> Items() {
        const MacroGroup* group = dialog_->KeyList().Group();
        return group == nullptr ? std::vector<MacroItem>{} : group->items;
    }
    std::string File() { return Slurp(data_ / "macro.xml"); }

    QTemporaryDir temp_;
    fs::path data_;
    std::unique_ptr<ui::SApplication> app_;
    SimulatedPlatform sim_{SimulatedPlatform::Options{}};
    RecordStore records_;
    FilterChannel channel_{sim_.Filter(), records_};
    MacroStore store_;
    AppConfig config_;
    std::map<std::int32_t, QString> keys_{{5, "B"}, {4, "A"}};
    std::int64_t now_ = 0;
    std::unique_ptr<MacroRecordDlg> dialog_;
};

constexpr const char* kTwoGroups =
    "<group name=\"One\"><item code=\"458756\" state=\"1\" delay=\"5\" name=\"A\"/></group>"
    "<group name=\"Two\"/>";

TEST_F(MacroRecordDlgTest, OpeningCorrectsTheStoredGroupAndModeAndShowsTheKeys) {
    Library("type=\"0\" mode=\"7\" group=\"2\" delay=\"40\" repeat=\"3\"", kTwoGroups);
    Open();
    EXPECT_EQ(store_.group, 0);
    EXPECT_EQ(Find<ui::SListView>("macro_group")->GetSel(), 0);
    EXPECT_EQ(Items().size(), 1u);
    EXPECT_EQ(store_.mode, 0);
    EXPECT_NE(File().find("mode=\"0\""), std::string::npos);
    EXPECT_EQ(Find<ui::SWindow>("text_recording_keys")->GetWindowText(), "A,B");
    EXPECT_TRUE(Find<ui::SRadioBox>("chk_macro_realy_delay")->IsChecked());
    EXPECT_FALSE(Find<ui::SEdit>("edit_macro_delay_time")->isEnabled());
    EXPECT_EQ(Find<ui::SEdit>("edit_macro_repeat_times")->GetWindowText(), "3");
    EXPECT_FALSE(Find<ui::SCheckBox>("chk_macro_record")->IsChecked());
    EXPECT_EQ(Find<ui::SComboBox>("cmb_media_keys")->GetCount(), 2);
    EXPECT_EQ(Find<ui::SComboBox>("cmb_function_keys")->GetCount(), 1);
}

TEST_F(MacroRecordDlgTest, GroupDelOnTheOnlyGroupLeavesNothingSelected) {
    Library("group=\"0\"", "<group name=\"Only\"><item code=\"458756\" state=\"1\"/></group>");
    Open();
    Click("groupDel");
    EXPECT_TRUE(store_.groups.empty());
    EXPECT_EQ(store_.group, -1);
    EXPECT_EQ(Find<ui::SListView>("macro_group")->GetSel(), -1);
    EXPECT_EQ(dialog_->KeyList().getCount(), 0);
    // Recording cannot be switched on without a group.
    Find<ui::SCheckBox>("chk_macro_record")->Click();
    EXPECT_FALSE(Find<ui::SCheckBox>("chk_macro_record")->IsChecked());
}

TEST_F(MacroRecordDlgTest, GroupAddOnAnEmptyLibrarySelectsTheNewGroup) {
    for (const char* group : {"-1", "0"}) {
        Library(std::string("group=\"") + group + "\"", "");
        Open();
        Click("groupAdd");
        EXPECT_EQ(store_.group, 0) << group;
        EXPECT_EQ(Find<ui::SListView>("macro_group")->GetSel(), 0) << group;
        ASSERT_NE(dialog_->KeyList().Group(), nullptr) << group;
        dialog_.reset();
    }
}

TEST_F(MacroRecordDlgTest, GroupRowsRenameInPlaceAndAClickShowsTheirKeys) {
    Library("group=\"1\"", kTwoGroups);
    Open();
    auto* list = Find<ui::SListView>("macro_group");
    EXPECT_EQ(dialog_->KeyList().getCount(), 0);
    list->ClickRow(0);
    EXPECT_EQ(store_.group, 0);
    EXPECT_EQ(dialog_->KeyList().getCount(), 1);
    auto* name = list->GetRow(1)->FindChildByName2<ui::SEdit>("group_name");
    for (const char* typed : {"Tw", ""}) {
        name->SetWindowText(typed);
        EXPECT_EQ(store_.groups[1].name, QString(typed).toStdWString());
        EXPECT_NE(File().find(std::string("<group name=\"") + typed + "\""), std::string::npos);
    }
    // A row whose group has just gone calls nobody.
    ui::SWindow* last = list->GetRow(1);
    store_.groups.pop_back();
    last->FireSimple(ui::EventType::Command);
    EXPECT_EQ(dialog_->KeyList().getCount(), 1);
}

TEST_F(MacroRecordDlgTest, AddingGroupsKeepsTheShownGroupForRecording) {
    Library("group=\"0\" mode=\"2\"", kTwoGroups);
    Open();
    Find<ui::SCheckBox>("chk_macro_record")->Click();
    // Enough new groups to move the library in memory.
    for (int i = 0; i < 40; ++i)
        Click("groupAdd");
    Record(0x70005, true, 10);
    ASSERT_EQ(store_.groups[0].items.size(), 2u);
    EXPECT_EQ(store_.groups[0].items[1].code, 0x70005u);
    EXPECT_EQ(Find<ui::SMcListView>("key_info")->RowCount(), 2);
}

TEST_F(MacroRecordDlgTest, TypedCountsAndDelaysAreStoredAsTheirLeadingNumber) {
    Library("group=\"0\" mode=\"0\" delay=\"10\" repeat=\"1\"", kTwoGroups);
    Open();
    auto* repeat = Find<ui::SEdit>("edit_macro_repeat_times");
    auto* delay = Find<ui::SEdit>("edit_macro_delay_time");
    delay->SetWindowText("99");  // real-delay mode ignores the fixed delay
    EXPECT_EQ(store_.delay, 10);
    Find<ui::SRadioBox>("chk_macro_fixed_delay")->Click();
    EXPECT_TRUE(delay->isEnabled());
    struct Typed {
        const char* text;
        int value;
    } typed[] = {{"abc", 0}, {"-3", -3}, {"12x", 12}, {"45", 45}};
    for (const Typed& t : typed) {
        repeat->SetWindowText(t.text);
        delay->SetWindowText(t.text);
        EXPECT_EQ(store_.repeat, t.value) << t.text;
        EXPECT_EQ(store_.delay, t.value) << t.text;
    }
    EXPECT_NE(File().find("repeat=\"45\" mode=\"1\" delay=\"45\""), std::string::npos);
    Find<ui::SRadioBox>("chk_macro_no_delay")->Click();
    EXPECT_EQ(delay->GetWindowText(), "0");
    EXPECT_FALSE(delay->isEnabled());
    EXPECT_EQ(store_.delay, 45);
}

TEST_F(MacroRecordDlgTest, RecordingGivesEachEventItsDelay) {
    struct Case {
        const char* radio;
        std::vector<std::uint32_t> delays;
    } cases[] = {
        {"chk_macro_fixed_delay", {30, 30, 30, 0}},
        {"chk_macro_no_delay", {0, 0, 0, 0}},
        {"chk_macro_realy_delay", {12, 40, 7, 0}},
    };
    for (const Case& c : cases) {
        Library("delay=\"30\" group=\"0\"", "<group name=\"G\"/>");
        Open();
        Find<ui::SRadioBox>(c.radio)->Click();
        Find<ui::SCheckBox>("chk_macro_record")->Click();
        ASSERT_TRUE(Find<ui::SCheckBox>("chk_macro_record")->IsChecked());
        EXPECT_EQ(Find<ui::SCheckBox>("chk_macro_record")->GetWindowText(), "Stop record");
        Record(0x70004, false, 90);  // a release before any event is dropped
        Record(0x70004, true, 100);
        Record(0x70004, false, 112);
        Record(0x70005, true, 152);
        Record(0x70005, false, 159);
        const auto items = Items();
        ASSERT_EQ(items.size(), 4u) << c.radio;
        for (std::size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(items[i].delay, c.delays[i]) << c.radio << " event " << i;
        EXPECT_EQ(items[0].name, L"A");
        EXPECT_EQ(items[1].state, 0u);
        EXPECT_EQ(dialog_->LastEventTime(), 159);
        dialog_.reset();
    }
}

// A device arrival re-opens the filter channel while the editor records: the filter, which
// forgets capture with its handles, is asked again, so unbound keys are still recorded.
TEST_F(MacroRecordDlgTest, RecordingKeepsCapturingAcrossAReopenOfTheChannel) {
    Library("mode=\"2\" group=\"0\"", "<group name=\"G\"/>");
    Open();
    Find<ui::SCheckBox>("chk_macro_record")->Click();
    ASSERT_TRUE(sim_.KeyFilter().Engine().Capturing());
    channel_.Open();  // what the main window does on any HID arrival
    EXPECT_TRUE(sim_.KeyFilter().Engine().Capturing());
    sim_.KeyFilter().TapKey(7, 0x0E);  // K, bound to nothing
    ASSERT_TRUE(testing::Eventually([&] {
        QCoreApplication::sendPostedEvents();
        return Items().size() == 2;
    }));
    EXPECT_EQ(Items()[0].code, 0x7000Eu);
    // Closing the editor ends its capture.
    dialog_.reset();
    EXPECT_FALSE(sim_.KeyFilter().Engine().Capturing());
}

TEST_F(MacroRecordDlgTest, KeysReachTheDialogOnlyThroughItsMessage) {
    Library("delay=\"30\" mode=\"1\" group=\"0\"", "<group name=\"G\"/>");
    Open();
    Find<ui::SCheckBox>("chk_macro_record")->Click();
    // The reader thread only posts; the event is recorded when the UI thread handles it.
    std::int32_t answer = 0;
    std::thread reader([&] { answer = dialog_->OnFilterKey(7, 4, true); });
    reader.join();
    EXPECT_EQ(answer, 1);
    EXPECT_TRUE(Items().empty());
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(Items()[0].code, 0x70004u);
}

TEST_F(MacroRecordDlgTest, CapturedKeysDoNotTypeIntoTheFocusedField) {
    Library("group=\"0\" repeat=\"1\"", "<group name=\"G\"/>");
    Open();
    QLineEdit* field = Find<ui::SEdit>("edit_macro_repeat_times")->Widget();
    auto type = [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7");
        QApplication::sendEvent(field, &press);
        return field->text();
    };
    Find<ui::SCheckBox>("chk_macro_record")->Click();
    EXPECT_EQ(type(), "1");
    Find<ui::SCheckBox>("chk_macro_record")->Click();
    EXPECT_EQ(type(), "17");
    EXPECT_EQ(store_.repeat, 17);
}

TEST_F(MacroRecordDlgTest, SingleKeyPageCapturesThePressOnly) {
    Library("type=\"1\" group=\"0\"", "<group name=\"G\"/>");
    Open();
    Record(0xC00E9, true, 10);
    Record(0x70004, false, 20);
    EXPECT_EQ(store_.skcode, 0xC00E9);
    EXPECT_EQ(Find<ui::SWindow>("edit_single_key")->GetWindowText(), "Volume Up");
    EXPECT_EQ(Find<ui::SWindow>("edit_single_key")->GetUserData(), 0xC00E9);
}

TEST_F(MacroRecordDlgTest, KeyListShowsCodesAndTakesTypedDelays) {
    Library("group=\"0\"",
            "<group name=\"G\"><item code=\"786665\" state=\"0\" delay=\"5\" name=\"Volume Up\"/>"
            "<item code=\"458756\" state=\"1\" delay=\"8\" name=\"A\"/></group>");
    Open();
    auto* list = Find<ui::SMcListView>("key_info");
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->GetRow(0)->FindChildByName("key_code")->GetWindowText(), "c00e9");
    EXPECT_EQ(list->GetRow(0)->FindChildByName("key_state")->GetWindowText(), "replace");
    EXPECT_EQ(list->GetRow(1)->FindChildByName("key_state")->GetWindowText(), "key down");
    // What the English user reads for a released key.
    EXPECT_EQ(list->GetRow(0)->FindChildByName("key_state")->DisplayText(), "key up");
    EXPECT_EQ(list->GetRow(1)->FindChildByName("key_state")->DisplayText(), "key down");
    auto* delay = list->GetRow(0)->FindChildByName2<ui::SEdit>("key_delay");
    struct Typed {
        const char* text;
        std::uint32_t stored;
        const char* shown;
    } typed[] = {{"12ab", 12, "12ab"}, {"ab", 12, "12"}, {"", 12, "12"}, {"-4", 12, "12"}};
    for (const Typed& t : typed) {
        delay->SetWindowText(t.text);
        EXPECT_EQ(Items()[0].delay, t.stored) << t.text;
        EXPECT_EQ(delay->GetWindowText(), t.shown) << t.text;
    }
}

TEST_F(MacroRecordDlgTest, ItemButtonsAtTheEdgesChangeNothing) {
    Library("group=\"0\"",
            "<group name=\"G\"><item code=\"458756\" state=\"1\"/><item code=\"458757\" "
            "state=\"1\"/></group>");
    Open();
    auto* list = Find<ui::SMcListView>("key_info");
    const auto before = Items();
    list->SetSel(0);
    Click("item_up");
    list->SetSel(1);
    Click("item_down");
    EXPECT_EQ(Items(), before);
    Click("item_up");
    EXPECT_EQ(Items()[0].code, 0x70005u);
    EXPECT_EQ(list->GetSel(), 0);
    list->ClickHeader(1);
    EXPECT_EQ(list->SortFlagOf(1), ui::kSortAscending);
    EXPECT_EQ(Items()[0].code, 0x70005u);
    dialog_->KeyList().AddItem(0, L"none", 1, 0);
    EXPECT_EQ(Items().size(), 2u);
}

TEST_F(MacroRecordDlgTest, ALargeGroupOpensWithEveryRowReachable) {
    constexpr int kEvents = 20000;
    std::string items;
    for (int i = 0; i < kEvents; ++i)
        items += "<item code=\"" + std::to_string(0x70004 + i % 26) + "\" state=\"" +
                 std::to_string(1 - i % 2) + "\" delay=\"" + std::to_string(i) + "\" name=\"K" +
                 std::to_string(i) + "\"/>";
    Library("group=\"0\"", "<group name=\"Long\">" + items + "</group>");
    Open();
    dialog_->show();
    QCoreApplication::processEvents();
    auto* list = Find<ui::SMcListView>("key_info");
    ASSERT_EQ(list->RowCount(), kEvents);
    const auto rowWindows = [list] {
        int windows = 0;
        for (QWidget* w : list->findChildren<QWidget*>())
            windows += dynamic_cast<ui::SListRow*>(w) != nullptr ? 1 : 0;
        return windows;
    };
    EXPECT_LE(rowWindows(), list->height() / 32 + 2) << "only rows in view have windows";
    EXPECT_EQ(list->GetRow(kEvents - 1), nullptr) << "the last row is out of view at first";

    auto fields = [&](int row) {
        ui::SWindow* w = list->GetRow(row);
        if (w == nullptr)
            return std::string("no window");
        auto text = [w](const char* name) { return w->FindChildByName(name)->GetWindowText(); };
        return QString("%1 %2 %3 %4")
            .arg(text("key_code"), text("key_name"), text("key_state"), text("key_delay"))
            .toStdString();
    };
    // The last row, reached by scrolling, shows its own event where the list shows it.
    list->EnsureVisible(kEvents - 1);
    EXPECT_EQ(fields(kEvents - 1), "70009 K19999 replace 19999");
    ui::SWindow* last = list->GetRow(kEvents - 1);
    const QRect shown(last->mapTo(list, QPoint(0, 0)), last->size());
    EXPECT_TRUE(list->rect().contains(shown)) << "the row is on screen";
    EXPECT_TRUE(last->isVisible());

    // A wheel step scrolls by rows; a reused window then shows the row that came into view.
    list->SetScrollPos(0);
    EXPECT_EQ(fields(0), "70004 K0 key down 0");
    QWheelEvent wheel(QPointF(40, 60), list->mapToGlobal(QPointF(40, 60)), {}, {0, -120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list, &wheel);
    EXPECT_GT(list->ScrollPos(), 0);
    EXPECT_EQ(list->GetRow(0), nullptr);
    const int top = list->ScrollPos() / 32;
    EXPECT_EQ(fields(top + 1), QString("%1 K%2 %3 %2")
                                   .arg(0x70004 + (top + 1) % 26, 0, 16)
                                   .arg(top + 1)
                                   .arg((top + 1) % 2 ? "replace" : "key down")
                                   .toStdString());

    // Clicking, editing and deleting far down act on that row's event.
    list->ClickRow(kEvents - 2);
    EXPECT_EQ(list->GetSel(), kEvents - 2);
    list->GetRow(kEvents - 2)->FindChildByName2<ui::SEdit>("key_delay")->SetWindowText("7");
    EXPECT_EQ(Items()[kEvents - 2].delay, 7u);
    Click("item_delete");
    ASSERT_EQ(Items().size(), static_cast<std::size_t>(kEvents - 1));
    EXPECT_EQ(Items().back().delay, static_cast<std::uint32_t>(kEvents - 1));
    EXPECT_EQ(fields(kEvents - 2), "70009 K19999 replace 19999");
    EXPECT_LE(rowWindows(), list->height() / 32 + 2);
}

TEST_F(MacroRecordDlgTest, ResultsOfTheButtonsAndTheListenerIsRemovedAtTheEnd) {
    Library("group=\"0\"", kTwoGroups);
    const std::size_t listeners = channel_.ListenerCount();
    struct Case {
        const char* button;
        int result;
    } cases[] = {{"btnOK", 1}, {"btnDelete", 65596}, {"btnCancel", 2}};
    for (const Case& c : cases) {
        Open();
        EXPECT_EQ(channel_.ListenerCount(), listeners + 1);
        Find<ui::SListView>("macro_group")->ClickRow(1);
        QTimer::singleShot(0, [&] { Click(c.button); });
        EXPECT_EQ(dialog_->DoModal(), c.result) << c.button;
        dialog_.reset();
        EXPECT_EQ(channel_.ListenerCount(), listeners);
        EXPECT_TRUE(channel_.IsListening());
    }
    EXPECT_EQ(store_.group, 1);
}

// The control requests the editor sends while the user switches recording and pages; the reader's
// own requests for the next event are left out.
class FilterRequests {
  public:
    FilterRequests() {
        platform::Trace::SetSink([this](std::string_view line) {
            for (const char* code : {"226008", "22600c", "226010"})
                if (line.find(std::string("filter ioctl ") + code) != std::string_view::npos) {
                    std::lock_guard lock(mutex_);
                    codes_.push_back(code);
                }
        });
    }
    ~FilterRequests() { platform::Trace::SetSink(nullptr); }
    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(codes_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> codes_;
};

TEST_F(MacroRecordDlgTest, RecordSwitchAndPagesDriveTheFilterChannel) {
    using Codes = std::vector<std::string>;
    const Codes restart = {"226008", "22600c", "226010"};
    Library("type=\"0\" group=\"0\"", "<group name=\"G\"/>");
    FilterRequests requests;
    Open();
    EXPECT_EQ(requests.Take(), Codes{});
    auto* record = Find<ui::SCheckBox>("chk_macro_record");
    auto* tabs = Find<ui::STabCtrl>("tab_macro_mode_selection");

    record->Click();
    EXPECT_EQ(requests.Take(), restart);
    EXPECT_TRUE(dialog_->ReaderRestarted());
    tabs->SetCurSel(2);
    EXPECT_FALSE(channel_.IsListening());
    tabs->SetCurSel(0);  // recording was on: the reader comes back
    EXPECT_EQ(requests.Take(), restart);
    EXPECT_TRUE(channel_.IsListening());
    record->Click();
    EXPECT_FALSE(channel_.IsListening());
    EXPECT_FALSE(dialog_->ReaderRestarted());

    tabs->SetCurSel(1);
    EXPECT_EQ(requests.Take(), restart);
    EXPECT_EQ(store_.type, 1);
    tabs->SetCurSel(0);  // without recording the reader stays stopped
    EXPECT_FALSE(channel_.IsListening());
    EXPECT_EQ(requests.Take(), Codes{});

    dialog_.reset();  // the main window's listener gets the keys again
    EXPECT_EQ(requests.Take(), (Codes{"226008", "22600c"}));
    EXPECT_TRUE(channel_.IsListening());

    store_.type = 1;  // opening on the single-key page starts the capture
    Open();
    EXPECT_EQ(requests.Take(), restart);
}

TEST_F(MacroRecordDlgTest, ExportedGroupsImportAgainAndABadFileChangesNothing) {
    Library("group=\"0\"", kTwoGroups);
    Open();
    const QString file = QString::fromStdString((data_ / "groups.xml").string());
    QString chosen = file;
    MacroRecordDlg::SetFileChooser([&](QWidget*, bool) { return chosen; });
    std::vector<QString> boxes;
    ui::SetMessageBoxAnswerHook([&](const QString& caption, const QString&, unsigned) {
        boxes.push_back(caption);
        return std::optional<int>(ui::kIdOk);
    });
    Click("groupExport");
    Click("groupImport");
    ASSERT_EQ(store_.groups.size(), 3u);
    EXPECT_EQ(store_.groups[2], store_.groups[0]);
    EXPECT_EQ(Find<ui::SListView>("macro_group")->RowCount(), 3);
    EXPECT_NE(File().find("<group name=\"One\">"), File().rfind("<group name=\"One\">"));
    EXPECT_TRUE(boxes.empty());

    const std::string before = File();
    for (const char* bad : {"not xml", "<?xml version=\"1.0\"?><config/>", "<macro/>",
                            "<macro><group name=\"x\"><oops/></group></macro>"}) {
        std::ofstream(data_ / "groups.xml", std::ios::trunc) << bad;
        Click("groupImport");
        EXPECT_EQ(store_.groups.size(), 3u) << bad;
    }
    chosen = QString::fromStdString((data_ / "missing.xml").string());
    Click("groupImport");
    EXPECT_EQ(boxes.size(), 5u);
    EXPECT_EQ(File(), before);
    chosen.clear();  // cancelled
    Click("groupImport");
    EXPECT_EQ(boxes.size(), 5u);
    ui::SetMessageBoxAnswerHook(nullptr);
    MacroRecordDlg::SetFileChooser(nullptr);
}

}  // namespace
}  // namespace keylume
