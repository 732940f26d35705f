#pragma once

#include <optional>

#include "core/settings/LedEffectStore.h"
#include "core/settings/SideLightStore.h"

namespace keylume {

// Which settings an effect has, as the lighting panel shows them: effect 0 only a brightness,
// effect 1 (the loader) a brightness and a start position, 2..19 a speed and a brightness, 20
// (lights off) none.
enum class EffectGroup { BrightnessOnly, Loader, SpeedAndBrightness, Off, None };
EffectGroup GroupOfEffect(int effect);

// The panel's slider ranges; a value outside is put at the nearer end, as a slider does.
inline constexpr int kMaxEffectBrightness = 5;
inline constexpr int kMaxEffectSpeed = 2;
inline constexpr int kMaxSideLevel = 7;
int ClampToRange(int value, int low, int high);

// A change to one effect's settings; what is not given stays as stored.
struct EffectChange {
    std::optional<int> brightness;
    std::optional<int> speed;
    // Loader start position: 1 left, 2 centre, 3 right.
    std::optional<int> start;
};

// Whether `effect` takes each setting of `change`; the name of the first one it does not take
// (e.g. "speed"), or nullptr when all are taken.
const char* SettingEffectLacks(int effect, const EffectChange& change);

// Applies `change` to `item` as the panel stores its sliders and radios: only the settings of the
// effect's group, each clamped to its slider's range.
LedEffectItem ApplyEffectChange(int effect, LedEffectItem item, const EffectChange& change);

}  // namespace keylume
