#include "mainwnd/CMainDlg.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QVariant>

#include "core/device/DeviceChange.h"
#include "core/settings/AppConfig.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SideLightStore.h"
#include "macrodlg/KeyFunction.h"
#include "macrodlg/MacroRecordDlg.h"
#include "platform/Trace.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/Menu.h"
#include "ui/MessageBox.h"
#include "ui/SApplication.h"
#include "ui/ShellNotifyIcon.h"
#include "ui/TabCtrl.h"

namespace keylume {

namespace {

constexpr int kIdBtnMore = 65537;
constexpr int kStartupLightingDelayMs = 2000;

// The name a running instance is recognised by: the first of the named strings.
QByteArray InstancePropertyName() {
    auto* app = ui::SApplication::Instance();
    return app ? app->GetStringByIndex(0).toUtf8() : QByteArray();
}

template <class T>
T* FindAs(const ui::SHostWnd& host, const char* name, const char* className) {
    ui::SWindow* w = host.FindChildByName(name);
    if (w == nullptr || !w->IsClass(className))
        return nullptr;
    return dynamic_cast<T*>(w);
}

}  // namespace

CMainDlg::CMainDlg(platform::Platform& platform, VHidev& vhidev)
    : ui::SHostWnd("LAYOUT:XML_MAINWND"),
      platform_(platform),
      vhidev_(vhidev),
      keyboard_(platform.Locks(), platform.Hid()),
      sink_(vhidev),
      filter_(platform.Filter(), GetRecordStore()),
      player_(sink_, GetRecordStore()),
      delayedWork_(platform.Time()),
      commands_(keyboard_, platform.Time(), GetLedEffectStore(), GetSideLightStore()) {
    player_.SetCaptureHook([this](bool everyKey) {
        if (everyKey) {
            filter_.BeginCapture(FilterChannel::CaptureReason::Playback);
        } else {
            filter_.EndCapture(FilterChannel::CaptureReason::Playback);
        }
    });
}

CMainDlg::~CMainDlg() {
    platform_.Broadcasts().SetListener(nullptr);
    // Nothing the program typed stays held once the window is gone.
    vhidev_.ReleaseAll();
    delayedWork_.Stop();
    player_.Stop();
    filter_.StopListening();
    // The filter keeps withholding the bound keys until it is told the table is empty, and it
    // can only be told while its handles are open.
    filter_.ClearKeyTable();
    filter_.Close();
    filter_.RemoveListener(this, &CMainDlg::OnFilterKey);
    keyboard_.Close();
    directionGroup.clear();
    loaderGroup.clear();
    assignedKeys.clear();
}

bool CMainDlg::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t,
                             std::intptr_t& result) {
    switch (message) {
        case ui::msg::kInitDialog:
            result = OnInitDialog() ? 1 : 0;
            return true;
        case ui::msg::kDestroy:
            OnDestroy();
            result = 0;
            return true;
        case ui::msg::kClose:
            DestroyWindow();
            result = 0;
            return true;
        case ui::msg::kCommand:
            OnCommand(static_cast<int>(wParam & 0xFFFF));
            result = 0;
            return true;
        default:
            return false;
    }
}

bool CMainDlg::OnInitDialog() {
    const QByteArray property = InstancePropertyName();
    if (!property.isEmpty())
        setProperty(property.constData(), 1);
    RegisterForDeviceBroadcasts();
    FindControls();
    commands_.ResetPacing();

    if (!OpenConfiguredKeyboard()) {
        firmwareVersion = -1;
        ShowFirmwareVersion();
        ui::SMessageBox(nullptr, "Please insert USB device!", "Warning",
                        ui::kMbOk | ui::kMbIconWarning);
        DestroyWindow();
        return false;
    }

    const int version = commands_.ReadFirmwareVersion();
    if (version != kFirmwareNotRead)
        firmwareVersion = version;
    ShowFirmwareVersion();
    ShowKeyAssignments();
    LoadLightingPanel(true);
    LoadSidePanel(true);

    // The stored effect is sent once the keyboard has settled after connecting; the effect is the
    // one selected now, the worker reads its settings when it sends.
    auto startup = std::make_unique<ThreadRunable<CMainDlg>>(this, &CMainDlg::SendStartupLighting);
    startup->interval = kStartupLightingDelayMs;
    startup->repeat = 1;
    startup->arg1 = 0;
    startup->arg2 = GetLedEffectStore().Sel();
    delayedWork_.Post(std::move(startup), false);
    delayedWork_.Start(this);

    filter_.AddListener(this, &CMainDlg::OnFilterKey);
    filter_.Open();
    filter_.StartListening();
    filter_.UploadKeyTable();
    threadsStarted_ = true;
    return true;
}

void CMainDlg::OnDestroy() {
    const QByteArray property = InstancePropertyName();
    if (!property.isEmpty())
        setProperty(property.constData(), QVariant());
}

void CMainDlg::RegisterForDeviceBroadcasts() {
    auto& broadcasts = platform_.Broadcasts();
    broadcasts.SetListener([this](const platform::DeviceBroadcast& b) { OnDeviceChange(b); });
    const int fd = broadcasts.NotifyFd();
    if (fd < 0 || broadcastNotifier_ != nullptr)
        return;
    broadcastNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(broadcastNotifier_, &QSocketNotifier::activated, this,
            [this] { platform_.Broadcasts().DispatchPending(); });
}

void CMainDlg::FindControls() {
    effectTabs_ = FindAs<ui::STabCtrl>(*this, "tab_color_effect", "tabctrl");
    keyboardImage_ = FindAs<CoordButtonImage>(*this, "img_keyboard", "cbimg");
    if (keyboardImage_ != nullptr)
        keyboardImage_->SetClickListener(this);
    profileCombo_ = FindAs<ui::SComboBox>(*this, "cbx_in_lv", "combobox");
    if (profileCombo_ != nullptr) {
        profileCombo_->SetCurSel(0);
        profileCombo_->Subscribe(ui::EventType::SelChanged, [](ui::EventArgs&) { return true; });
    }
    effectCombo_ = FindAs<ui::SComboBox>(*this, "cbx_color_effect", "combobox");
    if (effectCombo_ != nullptr) {
        effectCombo_->Subscribe(ui::EventType::SelChanged, [this](ui::EventArgs& e) {
            OnEffectSelChanged(e);
            return true;
        });
    }
    sideCombo_ = FindAs<ui::SComboBox>(*this, "cbx_side_color_effect", "combobox");
    if (sideCombo_ != nullptr) {
        sideCombo_->Subscribe(ui::EventType::SelChanged, [this](ui::EventArgs& e) {
            OnSideSelChanged(e);
            return true;
        });
    }
    sideSlider_ = FindAs<ui::SSliderBar>(*this, "bar_side_brightness", "sliderbar");
    sideLabel_ = FindAs<ui::SWindow>(*this, "text_side_brightness", "window");

    speedSliders[0] = FindAs<ui::SSliderBar>(*this, "bar_general_speed_0", "sliderbar");
    speedSliders[1] = FindAs<ui::SSliderBar>(*this, "bar_general_speed_1", "sliderbar");
    speedSliders[2] = nullptr;  // the brightness-only page has no speed
    speedSliders[3] = FindAs<ui::SSliderBar>(*this, "bar_general_speed_3", "sliderbar");
    for (int i = 0; i < 4; ++i) {
        const QString name = QString("bar_const_brightness_%1").arg(i);
        brightnessSliders[static_cast<std::size_t>(i)] =
            FindAs<ui::SSliderBar>(*this, qPrintable(name), "sliderbar");
    }

    directionGroup.clear();
    loaderGroup.clear();
    for (const char* name : {"radio_direction_left_0", "radio_direction_right_0"}) {
        if (auto* r = FindAs<ui::SRadioBox>(*this, name, "radio")) {
            r->SetCheck(false);
            directionGroup.push_back(r);
        }
    }
    for (const char* name : {"radio_loader_left_3", "radio_loader_center_3"}) {
        if (auto* r = FindAs<ui::SRadioBox>(*this, name, "radio")) {
            r->SetCheck(false);
            loaderGroup.push_back(r);
        }
    }
    loaderRight_ = FindAs<ui::SRadioBox>(*this, "radio_loader_right_3", "radio");
}

bool CMainDlg::OpenConfiguredKeyboard() {
    const AppConfig& config = GetAppConfig();
    std::vector<std::int32_t> products;
    if (config.pid != 0)
        products.push_back(config.pid);
    auto held = keyboard_.Locks().Acquire("HidDevice::Open");
    return keyboard_.Open(config.vid, products, config.usbInterface, config.subdevice, nullptr) !=
           0;
}

void CMainDlg::OnDeviceChange(const platform::DeviceBroadcast& broadcast) {
    const AppConfig& config = GetAppConfig();
    const DeviceChange change =
        DecideDeviceChange(broadcast.eventCode, broadcast.deviceType, broadcast.path, config.vid,
                           config.pid, config.usbInterface, config.subdevice);
    switch (change) {
        case DeviceChange::Ignored:
        case DeviceChange::OtherRemoved:
            return;
        case DeviceChange::KeyboardRemoved:
            keyboard_.Close();
            firmwareVersion = -1;
            ShowFirmwareVersion();
            if (!restoring)
                DestroyWindow();
            return;
        case DeviceChange::KeyboardArrived:
            if (keyboard_.Open(broadcast.path) == 0) {
                firmwareVersion = -1;
                ShowFirmwareVersion();
            } else {
                const int version = commands_.ReadFirmwareVersion();
                if (version != kFirmwareNotRead)
                    firmwareVersion = version;
                ShowFirmwareVersion();
                commands_.ResetPacing();
                LoadLightingPanel(true);
                LoadSidePanel(true);
                ShowKeyAssignments();
                restoring = false;
            }
            break;
        case DeviceChange::OtherArrived:
            break;
    }
    // Any HID arrival may be a keyboard the filter has to sit in front of.
    if (threadsStarted_)
        filter_.Open();
}

void CMainDlg::OnCommand(int id) {
    if (id == 1) {
        CheckFirmware();
    } else if (id == 6) {
        PostMessage(ui::msg::kClose);
    }
}

bool CMainDlg::OnControlEvent(ui::EventArgs& e) {
    if (e.type == ui::EventType::Command) {
        const QString& n = e.name;
        if (n == "btn_more") {
            ShowMoreMenu();
            return true;
        }
        if (n == "btn_close") {
            DestroyWindow();
            return true;
        }
        if (n == "btn_min") {
            // Into the tray when there is one; without one, to the taskbar, where the user can
            // find the window again.
            if (ui::SystemTrayAvailable())
                hide();
            else
                showMinimized();
            return true;
        }
        if (n == "btn_max") {
            SendMessage(ui::msg::kSysCommand, ui::msg::kScMaximize);
            return true;
        }
        if (n == "btn_restore") {
            SendMessage(ui::msg::kSysCommand, ui::msg::kScRestore);
            return true;
        }
        if (n == "zh_cn" || n == "jp") {
            SwitchLanguage(n == "zh_cn");
            return true;
        }
        if (n == "btn_restore_factory") {
            RestoreFactory();
            return true;
        }
    }
    if (OnLightingEvent(e))
        return true;
    return ui::SHostWnd::OnControlEvent(e);
}

void CMainDlg::SwitchLanguage(bool chinese) {
    auto* app = ui::SApplication::Instance();
    const char* language = chinese ? "lang_cn" : "lang_en";
    if (app == nullptr || !app->LoadLanguage(language))
        return;
    platform::Trace::Write("app", std::string("language ") + language);
    if (GetRoot() != nullptr)
        GetRoot()->SendMessage(ui::msg::kSetLanguage);
    // The firmware text is put together from translated pieces.
    ShowFirmwareVersion();
}

void CMainDlg::ShowMoreMenu() {
    ui::SWindow* button = FindChildByID(kIdBtnMore);
    if (button == nullptr)
        return;
    const QPoint below = button->mapToGlobal(QPoint(0, button->height()));
    ui::TrackMenu("smenuex:menu_more", below, this);
}

void CMainDlg::ShowKeyAssignments() {
    if (keyboardImage_ == nullptr)
        return;
    const auto records = GetRecordStore().Snapshot();
    for (const KeyRecord& record : *records) {
        const auto id = static_cast<std::int32_t>(record.code & 0xFFFF);
        QString label = QString::fromStdWString(record.name);
        if (!record.group.empty())
            label += " : " + ui::TrText(QString::fromStdWString(record.group));
        keyboardImage_->SetKeyChecked(id, true);
        keyboardImage_->SetKeyText(id, label);
    }
}

bool CMainDlg::OnCoordButtonClick(std::int32_t id, QString name, std::int32_t state, unsigned flags,
                                  std::int32_t, std::int32_t) {
    if (keyClickHook_)
        return keyClickHook_(id, name, state, flags);
    // Only a completed left click on a key, and only while the keyboard is there to bind it.
    if (state != 1 || !keyboard_.IsOpen() || keyboardImage_ == nullptr)
        return false;
    CoordKey key;
    if (!keyboardImage_->GetKeyInfo(id, &key))
        return false;
    const std::uint32_t code = (static_cast<std::uint32_t>(key.va) & 0xFFFF) << 16 |
                               (static_cast<std::uint32_t>(key.id) & 0xFFFF);
    if (editorOpen_)
        return false;
    editorOpen_ = true;
    // The editor's modal loop runs once the picture's mouse handling has finished, not inside it.
    // A timer rather than a posted call: posted events are flushed by whoever runs the loop at
    // that moment, which would start the modal loop inside their handling too.
    QTimer::singleShot(1, this, [this, id, name, code] { RunKeyFunctionEditor(id, name, code); });
    return false;
}

void CMainDlg::RunKeyFunctionEditor(std::int32_t id, const QString& name, std::uint32_t code) {
    if (!keyboard_.IsOpen() || keyboardImage_ == nullptr) {
        editorOpen_ = false;
        return;
    }
    assignedKeys[id] = name;
    MacroStore& macros = GetMacroStore();
    RecordStore& records = GetRecordStore();
    {
        MacroRecordDlg dialog(macros, filter_, &assignedKeys);
        int result = dialog.DoModal(this);
        // The window may have gone while the editor was open (keyboard unplugged, program
        // ending): then its picture is gone too and nothing is applied.
        if (!IsWindow())
            result = ui::kIdCancel;
        filter_.SendCaptureRequest();
        if (result == ui::kIdOk) {
            if (id != 0)
                keyboardImage_->SetKeyChecked(id, true);
            if (auto record = BuildKeyRecord(macros, GetAppConfig(), code, name.toStdWString())) {
                keyboardImage_->SetKeyText(id, KeyRecordLabel(*record));
                records.AddOrReplace(*record);
                records.Save();
            }
            macros.Save();
            filter_.UploadKeyTable();
        } else if (result == MacroRecordDlg::kDeleteResult) {
            records.Remove(code);
            keyboardImage_->SetKeyText(id, QString());
            keyboardImage_->SetKeyChecked(id, false);
            records.Save();
            filter_.UploadKeyTable();
        }
    }
    assignedKeys.clear();
    editorOpen_ = false;
}

std::int32_t CMainDlg::OnFilterKey(std::uint16_t usagePage, std::uint16_t usageId, bool pressed) {
    return player_.OnFilterKey(usagePage, usageId, pressed);
}

std::int32_t CMainDlg::SendStartupLighting(std::int32_t, std::int32_t effect, std::uint8_t*,
                                           std::int32_t) {
    commands_.SendLedEffectRaw(effect);
    return 1;
}

}  // namespace keylume
