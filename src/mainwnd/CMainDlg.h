#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/device/HidDevice.h"
#include "core/drivers/FilterChannel.h"
#include "core/drivers/VHidev.h"
#include "core/macros/MacroPlayer.h"
#include "core/macros/VHidevSink.h"
#include "core/protocol/KeyboardCommands.h"
#include "core/threads/RunableThread.h"
#include "mainwnd/CoordButtonImage.h"
#include "platform/Platform.h"
#include "ui/HostWnd.h"

class QSocketNotifier;

namespace keylume {

namespace ui {
class SComboBox;
class SSliderBar;
class STabCtrl;
class SRadioBox;
}  // namespace ui

// The main window: owns the keyboard connection, the filter channel, the playback and the timer
// queue, shows the lighting panel and the keyboard picture, and ends the program when the keyboard
// goes away (except while a factory restore waits for it to come back).
//
// Threads: everything runs on the UI thread, except OnFilterKey (filter reader thread) and
// SendStartupLighting (the timer queue's executor).
class CMainDlg : public ui::SHostWnd, public ICoordButtonClickListener {
  public:
    // A click on a key of the keyboard picture, for the key-function editor.
    using KeyClickHook = std::function<bool(std::int32_t id, const QString& name,
                                            std::int32_t state, unsigned flags)>;

    CMainDlg(platform::Platform& platform, VHidev& vhidev);
    ~CMainDlg() override;

    bool OnCoordButtonClick(std::int32_t id, QString name, std::int32_t state, unsigned flags,
                            std::int32_t x, std::int32_t y) override;
    void SetKeyClickHook(KeyClickHook hook) { keyClickHook_ = std::move(hook); }

    void OnDeviceChange(const platform::DeviceBroadcast& broadcast);
    void OnCommand(int id);
    void SwitchLanguage(bool chinese);
    void ShowMoreMenu();

    void LoadLightingPanel(bool selectStored);
    void SaveLightingPanel();
    void LoadSidePanel(bool selectStored);
    void SaveSidePanel();

    void ShowFirmwareVersion();
    void CheckFirmware();
    void RestoreFactory();
    // Marks the bound keys on the keyboard picture with their labels.
    void ShowKeyAssignments();

    HidDevice& Keyboard() { return keyboard_; }
    FilterChannel& Filter() { return filter_; }
    MacroPlayer& Player() { return player_; }
    bool ThreadsStarted() const { return threadsStarted_; }
    // True from a click that opens the key-function editor until the editor has closed.
    bool KeyEditorRequested() const { return editorOpen_; }

    bool OnControlEvent(ui::EventArgs& e) override;

    int firmwareVersion = -1;
    bool restoring = false;
    std::map<std::int32_t, QString> assignedKeys;

  protected:
    bool HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t& result) override;

  private:
    bool OnInitDialog();
    // Runs the key-function editor for one key and applies its result.
    void RunKeyFunctionEditor(std::int32_t id, const QString& name, std::uint32_t code);
    void OnDestroy();
    void RegisterForDeviceBroadcasts();
    void FindControls();
    bool OpenConfiguredKeyboard();
    std::int32_t OnFilterKey(std::uint16_t usagePage, std::uint16_t usageId, bool pressed);
    std::int32_t SendStartupLighting(std::int32_t, std::int32_t effect, std::uint8_t*,
                                     std::int32_t);

    bool OnLightingEvent(ui::EventArgs& e);
    void OnEffectSelChanged(ui::EventArgs& e);
    void OnSideSelChanged(ui::EventArgs& e);

    platform::Platform& platform_;
    VHidev& vhidev_;
    HidDevice keyboard_;

    CoordButtonImage* keyboardImage_ = nullptr;
    ui::STabCtrl* effectTabs_ = nullptr;
    ui::SComboBox* effectCombo_ = nullptr;
    ui::SComboBox* profileCombo_ = nullptr;
    ui::SComboBox* sideCombo_ = nullptr;
    ui::SSliderBar* sideSlider_ = nullptr;
    std::array<ui::SSliderBar*, 4> speedSliders{};
    std::array<ui::SSliderBar*, 4> brightnessSliders{};
    std::vector<ui::SRadioBox*> directionGroup;
    std::vector<ui::SRadioBox*> loaderGroup;
    ui::SRadioBox* loaderRight_ = nullptr;
    ui::SWindow* sideLabel_ = nullptr;

    VHidevSink sink_;
    FilterChannel filter_;
    MacroPlayer player_;
    RunableThread<0> delayedWork_;
    KeyboardCommands commands_;

    QSocketNotifier* broadcastNotifier_ = nullptr;
    bool threadsStarted_ = false;
    KeyClickHook keyClickHook_;
    bool editorOpen_ = false;
};

}  // namespace keylume
