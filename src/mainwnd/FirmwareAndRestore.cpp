// The firmware text, the firmware check and the factory restore of the main window.
#include <chrono>
#include <thread>

#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SideLightStore.h"
#include "mainwnd/CMainDlg.h"
#include "ui/MessageBox.h"
#include "ui/SApplication.h"

namespace keylume {

namespace {
constexpr int kIdVersion = 65556;
constexpr int kLatestFirmware = 0x0100;
}  // namespace

void CMainDlg::ShowFirmwareVersion() {
    if (firmwareVersion == -1)
        return;
    QString text = ui::TrText("Firmware");
    if (firmwareVersion == 0) {
        text += ui::TrText(": ") + ui::TrText("Early version");
    } else {
        text += QString(": v%1.%2").arg((firmwareVersion >> 8) & 0xFF).arg(firmwareVersion & 0xFF);
    }
    ui::SWindow* version = FindChildByID(kIdVersion);
    if (version != nullptr && version->IsClass("text"))
        version->SetWindowText(text);
}

void CMainDlg::CheckFirmware() {
    if (!keyboard_.IsOpen()) {
        ui::SMessageBox(nullptr, "Please insert USB device", "Warning",
                        ui::kMbOk | ui::kMbIconWarning);
        return;
    }
    if (firmwareVersion == kLatestFirmware) {
        ui::SMessageBox(nullptr,
                        "The firmware is already the latest version and no upgrade is required.",
                        "Warning", ui::kMbOk | ui::kMbIconWarning);
        return;
    }
    keyboard_.Close();
    if (!OpenConfiguredKeyboard()) {
        firmwareVersion = -1;
        ShowFirmwareVersion();
        return;
    }
    const int version = commands_.ReadFirmwareVersion();
    if (version != kFirmwareNotRead)
        firmwareVersion = version;
    ShowFirmwareVersion();
}

void CMainDlg::RestoreFactory() {
    if (ui::SMessageBox(this, "All settings will be restored, are you sure you want to continue?",
                        "Warning", ui::kMbOkCancel | ui::kMbIconWarning) != ui::kIdOk)
        return;
    // The keyboard leaves the bus once it has restored itself; the window waits for it.
    restoring = true;
    GetMacroStore().ResetChoices();
    GetRecordStore().Clear();
    GetLedEffectStore().Reset();
    GetSideLightStore().Reset();
    player_.Stop();
    filter_.UploadKeyTable();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    LoadSidePanel(true);
    LoadLightingPanel(true);
    if (keyboardImage_ != nullptr) {
        keyboardImage_->SetKeyChecked(CoordButtonImage::kAllKeys, false);
        keyboardImage_->update();
    }
    commands_.SendFactoryRestore();
}

}  // namespace keylume
