#include "core/settings/KeyTable.h"

namespace keylume {

KeyTable MakeKeyTable(const std::vector<KeyRecord>& records) {
    KeyTable table{};
    std::size_t count = records.size() < kKeyTableEntries ? records.size() : kKeyTableEntries;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t code = records[i].code;
        // The driver matches only the low byte of the usage id; byte 1 stays 0.
        table[4 * i + 0] = static_cast<std::uint8_t>(code & 0xFF);
        table[4 * i + 1] = 0;
        table[4 * i + 2] = static_cast<std::uint8_t>((code >> 16) & 0xFF);
        table[4 * i + 3] = 0x02;
    }
    return table;
}

}  // namespace keylume
