#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/settings/KeyRecord.h"

namespace keylume {

inline constexpr std::size_t kKeyTableEntries = 256;
inline constexpr std::size_t kKeyTableSize = kKeyTableEntries * 4;

using KeyTable = std::array<std::uint8_t, kKeyTableSize>;

// The filter driver's table of bound keys: one 4-byte entry per record, in list order, for the
// first 256 records; the rest zero. An entry holds the low 8 bits of the usage id as a 16-bit
// little-endian value, the usage page's low byte and 0x02.
KeyTable MakeKeyTable(const std::vector<KeyRecord>& records);

}  // namespace keylume
