#include "core/protocol/LightingSettings.h"

#include <algorithm>

namespace keylume {

EffectGroup GroupOfEffect(int effect) {
    if (effect == 0)
        return EffectGroup::BrightnessOnly;
    if (effect == 1)
        return EffectGroup::Loader;
    if (effect >= 2 && effect <= 19)
        return EffectGroup::SpeedAndBrightness;
    if (effect == 20)
        return EffectGroup::Off;
    return EffectGroup::None;
}

int ClampToRange(int value, int low, int high) {
    return std::clamp(value, low, high);
}

const char* SettingEffectLacks(int effect, const EffectChange& change) {
    const EffectGroup group = GroupOfEffect(effect);
    const bool brightness = group == EffectGroup::BrightnessOnly || group == EffectGroup::Loader ||
                            group == EffectGroup::SpeedAndBrightness;
    if (change.brightness && !brightness)
        return "brightness";
    if (change.speed && group != EffectGroup::SpeedAndBrightness)
        return "speed";
    if (change.start && group != EffectGroup::Loader)
        return "start";
    return nullptr;
}

LedEffectItem ApplyEffectChange(int effect, LedEffectItem item, const EffectChange& change) {
    if (SettingEffectLacks(effect, change) != nullptr)
        return item;
    if (change.brightness)
        item.brightness =
            static_cast<std::uint8_t>(ClampToRange(*change.brightness, 0, kMaxEffectBrightness));
    if (change.speed)
        item.speed = static_cast<std::uint8_t>(ClampToRange(*change.speed, 0, kMaxEffectSpeed));
    if (change.start)
        item.selection = static_cast<std::uint8_t>(ClampToRange(*change.start, 1, 3));
    return item;
}

}  // namespace keylume
