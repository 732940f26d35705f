#include "core/protocol/KeyboardCommands.h"

namespace keylume {

KeyboardCommands::KeyboardCommands(HidDevice& device, platform::Clock& clock,
                                   const LedEffectStore& ledEffects,
                                   const SideLightStore& sideLights)
    : device_(device), clock_(clock), ledEffects_(ledEffects), sideLights_(sideLights) {}

void KeyboardCommands::WaitForPacing() {
    if (!lastCommandTime_)
        return;
    const auto due = *lastCommandTime_ + kPacing;
    // A sleep that ends early must not let the command out early.
    for (auto now = clock_.Now(); now < due; now = clock_.Now())
        clock_.SleepFor(due - now);
}

void KeyboardCommands::MarkPaced() {
    lastCommandTime_ = clock_.Now();
}

void KeyboardCommands::ResetPacing() {
    lastCommandTime_ = clock_.Now();
}

bool KeyboardCommands::SendLedEffect(int effect) {
    if (effect < 0 || effect >= kLedEffectCount)
        return false;
    WaitForPacing();
    // Read after the wait: the panel may have stored a newer value meanwhile.
    bool sent = false;
    if (const auto item = ledEffects_.Item(effect))
        sent = device_.SetFeature(AdjustedLedEffectReport(effect, *item));
    MarkPaced();
    return sent;
}

void KeyboardCommands::SendLedEffectRaw(int effect) {
    if (effect < 0 || effect >= kLedEffectCount)
        return;
    if (const auto item = ledEffects_.Item(effect))
        device_.SetFeature(StoredLedEffectReport(effect, *item));
}

bool KeyboardCommands::SendSideLight(int mode) {
    if (mode < 0 || mode >= kSideLightModeCount)
        return false;
    WaitForPacing();
    bool sent = false;
    if (const auto item = sideLights_.Item(mode))
        sent = device_.SetFeature(SideLightReport(mode, *item));
    MarkPaced();
    return sent;
}

int KeyboardCommands::ReadFirmwareVersion() {
    if (!device_.IsOpen())
        return kFirmwareNotRead;
    CommandReport report = kFirmwareQueryReport;
    if (!device_.SetFeature(report))
        return kFirmwareNotRead;
    // The answer comes back in the same buffer, report ID 7 still in byte 0.
    if (!device_.GetFeature(report))
        return kFirmwareNotRead;
    return FirmwareVersionFromAnswer(report);
}

int KeyboardCommands::SendFactoryRestore() {
    return device_.Write(kFactoryRestoreReport);
}

}  // namespace keylume
