#include "macrodlg/KeyFunction.h"

#include "core/macros/KeyNameTable.h"
#include "ui/SWindow.h"

namespace keylume {

namespace {

bool Inside(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

}  // namespace

std::optional<KeyRecord> BuildKeyRecord(const MacroStore& store, const AppConfig& config,
                                        std::uint32_t code, const std::wstring& name) {
    KeyRecord record;
    record.code = code;
    record.type = store.type;
    record.name = name;
    switch (store.type) {
        case 0: {
            if (!Inside(store.group, store.groups.size()))
                return std::nullopt;
            const MacroGroup& group = store.groups[static_cast<std::size_t>(store.group)];
            record.play = store.playData;
            record.repeat = store.repeat;
            record.group = group.name;
            record.items = group.items;
            return record;
        }
        case 1: {
            const auto key = static_cast<std::uint32_t>(store.skcode);
            record.play = 1;
            record.repeat = 1;
            record.group = KeyName(key);
            record.items.push_back(MacroItem{key, 0, 0, {}});
            return record;
        }
        case 2: {
            if (!Inside(store.media, config.funkeys.size()))
                return std::nullopt;
            const FunKeyEntry& entry = config.funkeys[static_cast<std::size_t>(store.media)];
            record.play = 1;
            record.repeat = 1;
            record.group = entry.name;
            record.items.push_back(MacroItem{entry.code, 0, 0, {}});
            return record;
        }
        case 3: {
            if (!Inside(store.function, config.combkeys.size()))
                return std::nullopt;
            const CombKeyEntry& entry = config.combkeys[static_cast<std::size_t>(store.function)];
            if (entry.keys.empty())
                return std::nullopt;
            record.play = 2;
            record.repeat = 1;
            record.group = entry.name;
            // Every key is pressed in order, then released in the same order.
            for (const CombKeyPair& pair : entry.keys)
                record.items.push_back(MacroItem{static_cast<std::uint32_t>(pair.code),
                                                 1,
                                                 static_cast<std::uint32_t>(pair.delay) + 1,
                                                 {}});
            for (const CombKeyPair& pair : entry.keys)
                record.items.push_back(MacroItem{static_cast<std::uint32_t>(pair.code),
                                                 0,
                                                 static_cast<std::uint32_t>(pair.delay),
                                                 {}});
            return record;
        }
        default:
            return std::nullopt;
    }
}

QString KeyRecordLabel(const KeyRecord& record) {
    QString label = QString::fromStdWString(record.name);
    if (!record.group.empty())
        label += " : " + ui::TrText(QString::fromStdWString(record.group));
    return label;
}

}  // namespace keylume
