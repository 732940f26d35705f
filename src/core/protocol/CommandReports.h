#pragma once

#include <cstdint>

#include "core/device/HidDevice.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/SideLightStore.h"

namespace keylume {

// The keyboard's command reports: eight bytes, report ID 7 first, no checksum.
using CommandReport = HidDevice::Report;

inline constexpr std::uint8_t kCommandReportId = 0x07;
inline constexpr int kLedEffectCount = 21;
inline constexpr int kSideLightModeCount = 12;
inline constexpr std::uint8_t kSideLightSelector = 0x20;

// The firmware version before the keyboard has answered (or when it could not be asked).
inline constexpr int kFirmwareNotRead = -1;

inline constexpr CommandReport kFirmwareQueryReport{0x07, 0xF1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr CommandReport kFactoryRestoreReport{0x07, 0xF0, 0xAA, 0x00,
                                                     0x00, 0x00, 0x00, 0x00};

// The lighting command as the panel sends it: brightness at most 5, the loader position as the
// direction (1, 2, 3 become 0, 1, 2), byte 7 zero.
CommandReport AdjustedLedEffectReport(int effect, const LedEffectItem& item);
// The lighting command with the four stored bytes as they are, sent once after connecting.
CommandReport StoredLedEffectReport(int effect, const LedEffectItem& item);
// Side lights: the item's level (high nibble) with the mode in the low nibble.
CommandReport SideLightReport(int mode, SideLightItem item);
// major * 256 + minor from the keyboard's answer to the firmware query; 0 is an early firmware.
int FirmwareVersionFromAnswer(const CommandReport& answer);

}  // namespace keylume
