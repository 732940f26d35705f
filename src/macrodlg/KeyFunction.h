#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "core/settings/AppConfig.h"
#include "core/settings/KeyRecord.h"
#include "core/settings/MacroStore.h"

namespace keylume {

// The binding the editor's current choices give the key `code` named `name`: a macro, another
// key, a media key or a key combination. Nothing when the choice points at no group or entry, or
// at a combination without keys.
std::optional<KeyRecord> BuildKeyRecord(const MacroStore& store, const AppConfig& config,
                                        std::uint32_t code, const std::wstring& name);

// What the keyboard picture shows on a bound key: its name, then " : " and the translated target.
QString KeyRecordLabel(const KeyRecord& record);

}  // namespace keylume
