// The lighting panel of the main window: the effect and side-light controls kept in step with
// their stores and with the keyboard. The stores are the truth; loading the panel sends nothing
// unless it changes a combobox's selection, whose handler then runs as for the user.
#include "core/protocol/LightingSettings.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/SideLightStore.h"
#include "mainwnd/CMainDlg.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/TabCtrl.h"

namespace keylume {

namespace {

constexpr int kIdRadioDirectionLeft = 65544;
constexpr int kIdRadioDirectionRight = 65545;
constexpr int kIdRadioLoaderLeft = 65551;
constexpr int kIdRadioLoaderRight = 65553;

EffectGroup GroupOf(int effect) {
    return GroupOfEffect(effect);
}

void Show(ui::SSliderBar* slider, int value) {
    if (slider != nullptr)
        slider->SetValue(value);
}

// A slider's value goes into the store as the low byte of its position.
std::uint8_t ValueOf(const ui::SSliderBar* slider, std::uint8_t fallback) {
    return slider != nullptr ? static_cast<std::uint8_t>(slider->GetValue()) : fallback;
}

bool IsLightingSlider(const QString& name) {
    return name == "bar_general_speed_0" || name == "bar_general_speed_1" ||
           name == "bar_general_speed_3" || name == "bar_const_brightness_0" ||
           name == "bar_const_brightness_1" || name == "bar_const_brightness_2" ||
           name == "bar_const_brightness_3";
}

}  // namespace

void CMainDlg::LoadLightingPanel(bool selectStored) {
    LedEffectStore& store = GetLedEffectStore();
    const int effect = store.Sel();
    if (selectStored && effectCombo_ != nullptr)
        effectCombo_->SetCurSel(effect);
    const auto item = store.Item(effect);
    auto page = [this](int index) {
        if (effectTabs_ != nullptr)
            effectTabs_->SetCurSel(index);
    };
    switch (GroupOf(effect)) {
        case EffectGroup::BrightnessOnly:
            page(2);
            Show(brightnessSliders[2], item->brightness);
            break;
        case EffectGroup::Loader: {
            page(3);
            Show(brightnessSliders[3], item->brightness);
            ui::SRadioBox* radios[] = {loaderGroup.size() > 0 ? loaderGroup[0] : nullptr,
                                       loaderGroup.size() > 1 ? loaderGroup[1] : nullptr,
                                       loaderRight_};
            for (int i = 0; i < 3; ++i) {
                if (radios[i] != nullptr)
                    radios[i]->SetCheck(item->selection == i + 1);
            }
            break;
        }
        case EffectGroup::SpeedAndBrightness:
            page(1);
            Show(speedSliders[1], item->speed);
            Show(brightnessSliders[1], item->brightness);
            break;
        case EffectGroup::Off:
            page(2);
            break;
        case EffectGroup::None:
            break;
    }
}

void CMainDlg::SaveLightingPanel() {
    LedEffectStore& store = GetLedEffectStore();
    const int effect = effectCombo_ != nullptr ? effectCombo_->GetCurSel() : -1;
    store.SetSel(effect);
    auto item = store.Item(effect);
    if (!item || effect < 0) {
        store.Save();
        return;
    }
    switch (GroupOf(effect)) {
        case EffectGroup::BrightnessOnly:
            item->brightness = ValueOf(brightnessSliders[2], item->brightness);
            break;
        case EffectGroup::Loader:
            item->brightness = ValueOf(brightnessSliders[3], item->brightness);
            item->selection = 3;
            for (std::size_t i = 0; i < loaderGroup.size(); ++i) {
                if (loaderGroup[i]->IsChecked()) {
                    item->selection = static_cast<std::uint8_t>(i + 1);
                    break;
                }
            }
            break;
        case EffectGroup::SpeedAndBrightness:
            item->speed = ValueOf(speedSliders[1], item->speed);
            item->brightness = ValueOf(brightnessSliders[1], item->brightness);
            break;
        case EffectGroup::Off:
        case EffectGroup::None:
            break;
    }
    store.SetItem(effect, *item);
    store.Save();
}

void CMainDlg::LoadSidePanel(bool selectStored) {
    SideLightStore& store = GetSideLightStore();
    const int mode = store.Sel();
    if (sideLabel_ != nullptr)
        sideLabel_->SetWindowText(mode >= 0 && mode <= 2 ? "Speed" : "Brightness");
    if (selectStored && sideCombo_ != nullptr)
        sideCombo_->SetCurSel(mode);
    if (const auto item = store.Item(mode); item && mode >= 0)
        Show(sideSlider_, item->Level());
}

void CMainDlg::SaveSidePanel() {
    SideLightStore& store = GetSideLightStore();
    const int mode = sideCombo_ != nullptr ? sideCombo_->GetCurSel() : -1;
    store.SetSel(mode);
    auto item = store.Item(mode);
    if (!item || mode < 0)
        return;
    item->SetLevel(sideSlider_ != nullptr ? sideSlider_->GetValue() : item->Level());
    store.SetItem(mode, *item);
    store.Save();
}

void CMainDlg::OnEffectSelChanged(ui::EventArgs& e) {
    if (e.sender == nullptr || !e.sender->IsClass("combobox"))
        return;
    GetLedEffectStore().SetSel(e.value);
    LoadLightingPanel(false);
    commands_.SendLedEffect(e.value);
}

void CMainDlg::OnSideSelChanged(ui::EventArgs& e) {
    if (e.sender == nullptr || !e.sender->IsClass("combobox"))
        return;
    GetSideLightStore().SetSel(e.value);
    LoadSidePanel(false);
    commands_.SendSideLight(e.value);
}

bool CMainDlg::OnLightingEvent(ui::EventArgs& e) {
    if (e.type == ui::EventType::Command &&
        ((e.id >= kIdRadioDirectionLeft && e.id <= kIdRadioDirectionRight) ||
         (e.id >= kIdRadioLoaderLeft && e.id <= kIdRadioLoaderRight))) {
        SaveLightingPanel();
        commands_.SendLedEffect(effectCombo_ != nullptr ? effectCombo_->GetCurSel() : -1);
        return true;
    }
    if (e.type != ui::EventType::SliderPos)
        return false;
    if (IsLightingSlider(e.name)) {
        if (e.sender == nullptr || !e.sender->IsClass("sliderbar"))
            return true;
        SaveLightingPanel();
        commands_.SendLedEffect(effectCombo_ != nullptr ? effectCombo_->GetCurSel() : -1);
        return true;
    }
    if (e.name == "bar_side_brightness") {
        if (e.sender == nullptr || !e.sender->IsClass("sliderbar"))
            return true;
        SaveSidePanel();
        commands_.SendSideLight(sideCombo_ != nullptr ? sideCombo_->GetCurSel() : -1);
        return true;
    }
    return false;
}

}  // namespace keylume
