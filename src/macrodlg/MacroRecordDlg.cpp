#include "macrodlg/MacroRecordDlg.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <algorithm>

#include "core/macros/KeyNameTable.h"
#include "core/settings/GroupFile.h"
#include "core/settings/NumberText.h"
#include "platform/Clock.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/MessageBox.h"
#include "ui/TabCtrl.h"

namespace keylume {

namespace {

constexpr int kIdRealDelay = 65586;
constexpr int kIdFixedDelay = 65587;
constexpr int kIdNoDelay = 65588;

template <class T>
T* FindTyped(const ui::SHostWnd& host, int id, const char* className) {
    ui::SWindow* w = host.FindChildByID(id);
    if (w == nullptr || !w->IsClass(className))
        return nullptr;
    return dynamic_cast<T*>(w);
}

int LeadingNumber(const QString& text) {
    return settings_text::SignedDecimal(text.toUtf8().constData());
}

QString AskForFile(QWidget* owner, bool save) {
    const QString filter = ui::TrText("Macro groups (*.xml)");
    return save
               ? QFileDialog::getSaveFileName(owner, ui::TrText("Export macro groups"), {}, filter)
               : QFileDialog::getOpenFileName(owner, ui::TrText("Import macro groups"), {}, filter);
}

MacroRecordDlg::FileChooser& Chooser() {
    static MacroRecordDlg::FileChooser chooser = AskForFile;
    return chooser;
}

}  // namespace

void MacroRecordDlg::SetFileChooser(FileChooser chooser) {
    Chooser() = chooser ? std::move(chooser) : FileChooser(AskForFile);
}

MacroRecordDlg::MacroRecordDlg(MacroStore& store, FilterChannel& channel,
                               std::map<std::int32_t, QString>* assignedKeys,
                               const AppConfig& config, NowMs now)
    : ui::SHostDialog("LAYOUT:macro"),
      store_(store),
      channel_(channel),
      assignedKeys_(assignedKeys),
      config_(config),
      now_(now ? std::move(now)
               : NowMs([] { return static_cast<std::int64_t>(platform::ProcessUptimeMs()); })),
      groupAdapter_(store),
      keyAdapter_(store) {
    Create();
    qApp->installEventFilter(this);
    channel_.AddListener(this, &MacroRecordDlg::OnFilterKey);
}

MacroRecordDlg::~MacroRecordDlg() {
    qApp->removeEventFilter(this);
    channel_.RemoveListener(this, &MacroRecordDlg::OnFilterKey);
    // The main window's listener gets the keys again; the restart ends the editor's capture
    // (a playing macro may keep it).
    channel_.ForgetCapture(FilterChannel::CaptureReason::Editor);
    channel_.StartListening();
    // Recorded and edited events are not lost when the dialog is left without another save.
    if (itemsChanged_)
        store_.Save();
    if (keyList_ != nullptr)
        keyList_->SetAdapter(nullptr);
    if (groupList_ != nullptr)
        groupList_->SetAdapter(nullptr);
}

bool MacroRecordDlg::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                   std::intptr_t& result) {
    switch (message) {
        case ui::msg::kInitDialog:
            OnInitDialog();
            result = 1;
            return true;
        case kRecordKeyMessage:
            OnRecordKey(static_cast<std::uint32_t>(wParam), lParam != 0);
            result = 0;
            return true;
        default:
            return ui::SHostDialog::HandleMessage(message, wParam, lParam, result);
    }
}

void MacroRecordDlg::OnInitDialog() {
    initialising_ = true;
    keyList_ = FindTyped<ui::SMcListView>(*this, 65575, "mclistview");
    if (keyList_ == nullptr)
        keyList_ = FindChildByName2<ui::SMcListView>("key_info");
    if (keyList_ != nullptr)
        keyList_->SetAdapter(&keyAdapter_);

    groupList_ = FindChildByName2<ui::SListView>("macro_group");
    if (groupList_ != nullptr && !groupList_->IsClass("listview"))
        groupList_ = nullptr;
    groupAdapter_.SetListener(this);
    if (groupList_ != nullptr)
        groupList_->SetAdapter(&groupAdapter_);
    if (store_.group < 0 || store_.group >= static_cast<int>(store_.groups.size()))
        store_.group = 0;
    if (groupList_ != nullptr)
        groupList_->SetSel(store_.group);
    ShowGroup(store_.group);

    recorder_.Reset();

    if (ui::SWindow* keys = FindChildByName("text_recording_keys")) {
        QStringList names;
        if (assignedKeys_ != nullptr)
            for (const auto& [id, name] : *assignedKeys_)
                names << name;
        keys->SetWindowText(names.join(","));
    }

    // A mode outside the three radios would record with no radio shown.
    if (store_.mode >= 3 || store_.mode < 0) {
        store_.mode = 0;
        store_.Save();
    }

    const int radioIds[] = {kIdRealDelay, kIdFixedDelay, kIdNoDelay};
    for (std::size_t i = 0; i < delayRadios_.size(); ++i)
        delayRadios_[i] = FindChildByID2<ui::SRadioBox>(radioIds[i]);
    for (ui::SRadioBox* radio : delayRadios_)
        if (radio != nullptr)
            radio->SetCheck(false);
    if (ui::SRadioBox* radio = delayRadios_[static_cast<std::size_t>(store_.mode)])
        radio->SetCheck(true);

    modeTabs_ = FindTyped<ui::STabCtrl>(*this, 65564, "tabctrl2");
    repeatEdit_ = FindTyped<ui::SEdit>(*this, 65584, "edit");
    delayEdit_ = FindTyped<ui::SEdit>(*this, 65585, "edit");
    recordCheck_ = FindTyped<ui::SCheckBox>(*this, 65589, "checkex");
    singleCheck_ = FindTyped<ui::SCheckBox>(*this, 65591, "checkex");
    singleKey_ = FindTyped<ui::SWindow>(*this, 65592, "text");
    playCombo_ = FindTyped<ui::SComboBox>(*this, 65590, "combobox");
    mediaCombo_ = FindTyped<ui::SComboBox>(*this, 65593, "combobox");
    functionCombo_ = FindTyped<ui::SComboBox>(*this, 65594, "combobox");
    if (singleKey_ != nullptr)
        singleKey_->SetWindowText(
            QString::fromStdWString(KeyName(static_cast<std::uint32_t>(store_.skcode))));

    for (ui::SComboBox* combo : {playCombo_, mediaCombo_, functionCombo_})
        if (combo != nullptr)
            combo->Subscribe(ui::EventType::SelChanged,
                             [this](ui::EventArgs& e) { return OnPanelSelChanged(e); });

    FillLists();

    for (const char* name : {"groupImport", "groupExport"})
        if (ui::SWindow* button = FindChildByName(name))
            button->setEnabled(true);

    if (recordCheck_ != nullptr)
        recordCheck_->Subscribe(ui::EventType::Command, [this](ui::EventArgs&) {
            OnRecordSwitch();
            return true;
        });
    if (delayEdit_ != nullptr)
        delayEdit_->Subscribe(ui::EventType::TextNotify,
                              [this](ui::EventArgs& e) { return OnDelayText(e); });
    if (repeatEdit_ != nullptr)
        repeatEdit_->Subscribe(ui::EventType::TextNotify,
                               [this](ui::EventArgs& e) { return OnRepeatText(e); });
    if (modeTabs_ != nullptr)
        modeTabs_->Subscribe(ui::EventType::TabSelChanged,
                             [this](ui::EventArgs& e) { return OnPageChanged(e); });

    if (modeTabs_ != nullptr)
        modeTabs_->SetCurSel(store_.type);
    if (delayEdit_ != nullptr) {
        delayEdit_->SetWindowText(QString::number(store_.delay));
        if (store_.mode == 2)
            delayEdit_->SetWindowText("0");
        delayEdit_->setEnabled(store_.mode == 1);
    }
    if (repeatEdit_ != nullptr)
        repeatEdit_->SetWindowText(QString::number(store_.repeat));

    if (recordCheck_ != nullptr)
        recordCheck_->SetCheck(false);

    if (playCombo_ != nullptr) {
        playCombo_->SetCurSel(store_.play);
        if (playCombo_->GetCurSel() >= 0)
            store_.playData = static_cast<int>(playCombo_->GetItemData(playCombo_->GetCurSel()));
    }
    if (functionCombo_ != nullptr)
        functionCombo_->SetCurSel(store_.function);
    if (mediaCombo_ != nullptr)
        mediaCombo_->SetCurSel(store_.media);

    if (singleCheck_ != nullptr)
        singleCheck_->SetCheck(false);
    initialising_ = false;

    if (store_.type == 1)
        StartCapture();
}

void MacroRecordDlg::FillLists() {
    // The combobox shows its entries through the translator.
    if (mediaCombo_ != nullptr) {
        mediaCombo_->ResetContent();
        for (const FunKeyEntry& entry : config_.funkeys)
            mediaCombo_->InsertItem(-1, QString::fromStdWString(entry.name));
    }
    if (functionCombo_ != nullptr) {
        functionCombo_->ResetContent();
        for (const CombKeyEntry& entry : config_.combkeys)
            functionCombo_->InsertItem(-1, QString::fromStdWString(entry.name));
    }
}

int MacroRecordDlg::SelectedGroupRow() const {
    return groupList_ != nullptr ? groupList_->GetSel() : -1;
}

int MacroRecordDlg::ShownPage() const {
    return modeTabs_ != nullptr ? modeTabs_->GetCurSel() : store_.type;
}

bool MacroRecordDlg::TakesKeys() const {
    const int page = ShownPage();
    return (page == 0 && recordCheck_ != nullptr && recordCheck_->IsChecked()) || page == 1;
}

void MacroRecordDlg::ShowGroup(int index) {
    keyAdapter_.SetGroup(index < 0 ? store_.group : index);
}

void MacroRecordDlg::OnMacroGroupClicked(int index, const std::wstring&) {
    ShowGroup(index);
    store_.group = SelectedGroupRow();
}

bool MacroRecordDlg::OnControlEvent(ui::EventArgs& e) {
    if (e.type != ui::EventType::Command)
        return ui::SHostDialog::OnControlEvent(e);
    const QString& name = e.name;
    if (name == "btnRestore") {
        SendMessage(ui::msg::kSysCommand, ui::msg::kScRestore);
    } else if (name == "btnMin") {
        SendMessage(ui::msg::kSysCommand, ui::msg::kScMinimize);
    } else if (name == "btnOK") {
        if (assignedKeys_ != nullptr && !assignedKeys_->empty() && ShownPage() < 3)
            store_.group = SelectedGroupRow();
        EndDialog(ui::kIdOk);
    } else if (name == "btnDelete") {
        EndDialog(kDeleteResult);
    } else if (name == "btnCancel") {
        EndDialog(ui::kIdCancel);
    } else if (name == "groupAdd") {
        OnGroupAdd();
    } else if (name == "groupDel") {
        OnGroupDel();
    } else if (name == "groupImport") {
        OnGroupImport();
    } else if (name == "groupExport") {
        OnGroupExport();
    } else if (name == "item_up" || name == "item_down" || name == "item_delete" ||
               name == "item_clear") {
        OnItemCommand(name);
    } else if (name == "chk_macro_record") {
        OnRecordSwitch();
    } else if (e.id >= kIdRealDelay && e.id <= kIdNoDelay) {
        OnDelayMode(e.id);
    } else {
        return ui::SHostDialog::OnControlEvent(e);
    }
    e.handled = true;
    return true;
}

void MacroRecordDlg::OnGroupAdd() {
    store_.AddGroup();
    groupAdapter_.notifyDataSetChanged();
    // With no row selected (also when a stored index pointed into an empty library) the first
    // group becomes the selected one, so that recording has somewhere to go.
    if ((store_.group < 0 || SelectedGroupRow() < 0) && groupList_ != nullptr &&
        groupList_->RowCount() > 0) {
        store_.group = 0;
        groupList_->SetSel(0);
        // The selected group is also the one recording goes to.
        ShowGroup(0);
    }
}

void MacroRecordDlg::OnGroupDel() {
    store_.DeleteGroup(SelectedGroupRow());
    groupAdapter_.notifyDataSetChanged();
    store_.group = SelectedGroupRow();
    if (store_.group < 0)
        keyAdapter_.SetGroup(-1);
    else
        ShowGroup(store_.group);
}

void MacroRecordDlg::OnGroupImport() {
    const QString path = Chooser()(this, false);
    if (path.isEmpty())
        return;
    QFile file(path);
    std::vector<MacroGroup> groups;
    const bool read =
        file.open(QIODevice::ReadOnly) && ReadGroupFile(file.readAll().toStdString(), groups);
    if (!read) {
        ui::SMessageBox(this, "The file holds no macro groups that can be imported.",
                        "Import macro groups", ui::kMbOk | ui::kMbIconWarning);
        return;
    }
    for (MacroGroup& group : groups)
        store_.groups.push_back(std::move(group));
    store_.Save();
    groupAdapter_.notifyDataSetChanged();
}

void MacroRecordDlg::OnGroupExport() {
    // The selected group, or the whole library when none is selected.
    std::vector<MacroGroup> groups;
    if (const MacroGroup* group =
            SelectedGroupRow() >= 0 ? store_.Group(SelectedGroupRow()) : nullptr)
        groups.push_back(*group);
    else
        groups = store_.groups;
    if (groups.empty())
        return;
    const QString path = Chooser()(this, true);
    if (path.isEmpty())
        return;
    QFile file(path);
    const std::string text = GroupFileText(groups);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) ==
                             static_cast<qint64>(text.size()) &&
                         file.flush();
    if (!written)
        ui::SMessageBox(this, "The file could not be written.", "Export macro groups",
                        ui::kMbOk | ui::kMbIconWarning);
}

void MacroRecordDlg::OnItemCommand(const QString& name) {
    const int row = keyList_ != nullptr ? keyList_->GetSel() : -1;
    // The moved event stays in view, also when it crosses the edge of the list.
    if (name == "item_up") {
        if (row > 0 && keyAdapter_.MoveUp(row)) {
            keyList_->SetSel(row - 1);
            keyList_->EnsureVisible(row - 1);
        }
    } else if (name == "item_down") {
        if (row < keyAdapter_.getCount() && keyAdapter_.MoveDown(row)) {
            keyList_->SetSel(row + 1);
            keyList_->EnsureVisible(row + 1);
        }
    } else if (name == "item_delete") {
        keyAdapter_.DeleteItem(row);
    } else {
        keyAdapter_.ClearItems();
    }
    itemsChanged_ = true;
    store_.group = SelectedGroupRow();
}

void MacroRecordDlg::OnRecordSwitch() {
    if (recordCheck_ == nullptr)
        return;
    // Recording needs a group to go to.
    if (SelectedGroupRow() < 0)
        recordCheck_->SetCheck(false);
    else
        recordCheck_->SetWindowText(recordCheck_->IsChecked() ? "Stop record" : "Start record");
    if (recordCheck_->IsChecked()) {
        readerRestarted_ = channel_.StartListening();
        if (readerRestarted_)
            channel_.BeginCapture(FilterChannel::CaptureReason::Editor);
    } else {
        channel_.StopListening();
        readerRestarted_ = false;
    }
}

void MacroRecordDlg::StartCapture() {
    if (channel_.StartListening())
        channel_.BeginCapture(FilterChannel::CaptureReason::Editor);
}

void MacroRecordDlg::OnDelayMode(int id) {
    if (id == kIdRealDelay) {
        store_.mode = 0;
        if (delayEdit_ != nullptr)
            delayEdit_->setEnabled(false);
    } else if (id == kIdFixedDelay) {
        store_.mode = 1;
        if (delayEdit_ != nullptr) {
            delayEdit_->setEnabled(true);
            delayEdit_->SetWindowText(QString::number(store_.delay));
        }
    } else {
        store_.mode = 2;
        if (delayEdit_ != nullptr) {
            delayEdit_->SetWindowText("0");
            delayEdit_->setEnabled(false);
        }
    }
    store_.Save();
}

bool MacroRecordDlg::OnDelayText(ui::EventArgs& e) {
    if (e.code != ui::kEnChange || initialising_ || store_.mode != 1 || delayEdit_ == nullptr)
        return true;
    store_.delay = LeadingNumber(delayEdit_->GetWindowText());
    store_.Save();
    return true;
}

bool MacroRecordDlg::OnRepeatText(ui::EventArgs& e) {
    if (e.code != ui::kEnChange || initialising_ || repeatEdit_ == nullptr)
        return true;
    store_.repeat = LeadingNumber(repeatEdit_->GetWindowText());
    store_.Save();
    return true;
}

bool MacroRecordDlg::OnPageChanged(ui::EventArgs& e) {
    // The page shown at opening is the stored one; its filter set-up follows the initialisation.
    if (initialising_)
        return true;
    const int page = e.value;
    if (page == 1) {
        channel_.StartListening();
        channel_.BeginCapture(FilterChannel::CaptureReason::Editor);
    } else {
        channel_.StopListening();
        if (page == 0 && readerRestarted_) {
            readerRestarted_ = channel_.StartListening();
            if (readerRestarted_)
                channel_.BeginCapture(FilterChannel::CaptureReason::Editor);
        }
    }
    store_.type = page;
    store_.Save();
    return true;
}

bool MacroRecordDlg::OnPanelSelChanged(ui::EventArgs& e) {
    if (initialising_)
        return true;
    auto* combo = dynamic_cast<ui::SComboBox*>(e.sender);
    if (combo == nullptr)
        return true;
    const int sel = combo->GetCurSel();
    if (combo == playCombo_) {
        store_.play = sel;
        if (sel >= 0)
            store_.playData = static_cast<int>(combo->GetItemData(sel));
    } else if (combo == mediaCombo_) {
        store_.media = sel;
    } else if (combo == functionCombo_) {
        store_.function = sel;
    }
    store_.Save();
    return true;
}

std::int32_t MacroRecordDlg::OnFilterKey(std::uint16_t usagePage, std::uint16_t usageId,
                                         bool pressed) {
    // Reader thread: hand the event to the UI thread and keep it from later listeners.
    PostMessage(kRecordKeyMessage,
                static_cast<std::uintptr_t>(usagePage) << 16 | static_cast<std::uintptr_t>(usageId),
                pressed ? 1 : 0);
    return 1;
}

void MacroRecordDlg::OnRecordKey(std::uint32_t usage, bool pressed) {
    const std::wstring name = KeyName(usage);
    const int page = ShownPage();
    if (page == 0) {
        if (recordCheck_ == nullptr || !recordCheck_->IsChecked())
            return;
        MacroGroup* group = keyAdapter_.Group();
        if (group == nullptr)
            return;
        // A negative fixed delay would be a wait of weeks in the unsigned event delay.
        const auto fixed = static_cast<std::uint32_t>(std::max(0, store_.delay));
        if (recorder_.Record(group->items, usage, pressed, store_.mode, fixed, now_())) {
            itemsChanged_ = true;
            keyAdapter_.notifyDataSetChanged();
        }
    } else if (page == 1 && pressed) {
        store_.skcode = static_cast<int>(usage);
        if (singleKey_ != nullptr) {
            singleKey_->SetWindowText(QString::fromStdWString(name));
            singleKey_->SetUserData(static_cast<std::intptr_t>(usage));
        }
    }
}

bool MacroRecordDlg::eventFilter(QObject* watched, QEvent* event) {
    // Captured keys reach the dialog through the filter channel; the same keystrokes must not
    // also type into its focused field.
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease ||
         type == QEvent::ShortcutOverride) &&
        TakesKeys()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && (widget == this || isAncestorOf(widget)))
            return true;
    }
    return ui::SHostDialog::eventFilter(watched, event);
}

}  // namespace keylume
