#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>

#include "core/drivers/FilterChannel.h"
#include "core/macros/MacroRecorder.h"
#include "core/settings/AppConfig.h"
#include "core/settings/MacroStore.h"
#include "macrodlg/KeyAndDelayAdapter.h"
#include "macrodlg/MacroGroupAdapter.h"
#include "ui/HostWnd.h"

namespace keylume {

namespace ui {
class SComboBox;
class SEdit;
class SCheckBox;
class SRadioBox;
class STabCtrl;
}  // namespace ui

// The macro editor: the library of macro groups and the function chosen for the clicked key.
// Every change goes to MacroStore at once. While it is open it takes the key events of the main
// window's filter channel: on the macro page they are recorded into the shown group, on the
// single-key page the pressed key is captured.
//
// Threads: the UI thread, except OnFilterKey, which the filter reader thread calls; it only posts
// the event to the dialog.
class MacroRecordDlg : public ui::SHostDialog, public IOnMacroGroupClickedListener {
  public:
    static constexpr unsigned kRecordKeyMessage = ui::msg::kUser + 1;
    static constexpr int kDeleteResult = 65596;

    using NowMs = std::function<std::int64_t()>;
    // Picks the file for "groupImport" (save false) or "groupExport" (save true); empty when the
    // user cancels. The default asks with the system's file dialog.
    using FileChooser = std::function<QString(QWidget* owner, bool save)>;
    static void SetFileChooser(FileChooser chooser);

    MacroRecordDlg(MacroStore& store, FilterChannel& channel,
                   std::map<std::int32_t, QString>* assignedKeys,
                   const AppConfig& config = GetAppConfig(), NowMs now = {});
    ~MacroRecordDlg() override;

    void OnMacroGroupClicked(int index, const std::wstring& name) override;
    bool OnControlEvent(ui::EventArgs& e) override;

    std::int32_t OnFilterKey(std::uint16_t usagePage, std::uint16_t usageId, bool pressed);
    void OnRecordKey(std::uint32_t usage, bool pressed);

    KeyAndDelayAdapter& KeyList() { return keyAdapter_; }
    MacroGroupAdapter& GroupList() { return groupAdapter_; }
    std::int64_t LastEventTime() const { return recorder_.LastEventTime(); }
    bool ReaderRestarted() const { return readerRestarted_; }
    // True while key events are taken for recording or capture; the dialog's own controls then
    // get no keystrokes.
    bool TakesKeys() const;

  protected:
    bool HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t& result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnInitDialog();
    int SelectedGroupRow() const;
    int ShownPage() const;
    void ShowGroup(int index);
    void OnGroupAdd();
    void OnGroupDel();
    void OnGroupImport();
    void OnGroupExport();
    void OnItemCommand(const QString& name);
    void OnRecordSwitch();
    void OnDelayMode(int id);
    bool OnDelayText(ui::EventArgs& e);
    bool OnRepeatText(ui::EventArgs& e);
    bool OnPageChanged(ui::EventArgs& e);
    bool OnPanelSelChanged(ui::EventArgs& e);
    void StartCapture();
    void FillLists();

    MacroStore& store_;
    FilterChannel& channel_;
    std::map<std::int32_t, QString>* assignedKeys_;
    const AppConfig& config_;
    NowMs now_;

    MacroGroupAdapter groupAdapter_;
    KeyAndDelayAdapter keyAdapter_;
    MacroRecorder recorder_;
    bool readerRestarted_ = false;
    bool initialising_ = false;
    bool itemsChanged_ = false;

    ui::SMcListView* keyList_ = nullptr;
    ui::SListView* groupList_ = nullptr;
    std::array<ui::SRadioBox*, 3> delayRadios_{};
    ui::STabCtrl* modeTabs_ = nullptr;
    ui::SEdit* repeatEdit_ = nullptr;
    ui::SEdit* delayEdit_ = nullptr;
    ui::SCheckBox* recordCheck_ = nullptr;
    ui::SCheckBox* singleCheck_ = nullptr;
    ui::SWindow* singleKey_ = nullptr;
    ui::SComboBox* playCombo_ = nullptr;
    ui::SComboBox* mediaCombo_ = nullptr;
    ui::SComboBox* functionCombo_ = nullptr;
};

}  // namespace keylume
