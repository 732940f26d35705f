#pragma once

#include <chrono>
#include <optional>

#include "core/device/HidDevice.h"
#include "core/protocol/CommandReports.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/SideLightStore.h"
#include "platform/Clock.h"

namespace keylume {

// Builds the keyboard's command reports from the lighting stores, sends each through the right
// HidDevice operation and keeps paced commands (the ones a slider drag can fire in a burst) at
// least 100 ms apart: a paced command starts no sooner than 100 ms after the previous paced one
// ended, failed or not. The device is the caller's; it is never opened or closed here.
//
// Threads: the UI thread; SendLedEffectRaw also from the executor thread (it is not paced and
// reads the store through its locked copy). Failures are silent, as the user sees nothing of them.
class KeyboardCommands {
  public:
    static constexpr std::chrono::milliseconds kPacing{100};

    KeyboardCommands(HidDevice& device, platform::Clock& clock, const LedEffectStore& ledEffects,
                     const SideLightStore& sideLights);

    // Paced; the effect's settings as the panel shows them. Effects outside 0..20 are ignored
    // before any wait. True when the keyboard took the report.
    bool SendLedEffect(int effect);
    // Not paced; the effect's stored bytes.
    void SendLedEffectRaw(int effect);
    // Paced; modes outside 0..11 are ignored before any wait. True when the keyboard took the
    // report.
    bool SendSideLight(int mode);
    // Not paced. The version, or kFirmwareNotRead when the device is closed or an exchange fails.
    int ReadFirmwareVersion();
    // Not paced. The result of the write (bytes written, 0 on failure).
    int SendFactoryRestore();
    // Counts the spacing of the next paced command from now (after connecting).
    void ResetPacing();

  private:
    void WaitForPacing();
    void MarkPaced();

    HidDevice& device_;
    platform::Clock& clock_;
    const LedEffectStore& ledEffects_;
    const SideLightStore& sideLights_;
    // When the last paced command ended; nothing before the first one lets it through at once.
    std::optional<std::chrono::steady_clock::time_point> lastCommandTime_;
};

}  // namespace keylume
